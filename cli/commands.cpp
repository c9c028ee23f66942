// The subcommands of `lumora` and the dispatch between them.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include "cli.h"
#include "input.h"
#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/framework/component.h"
#include "lumora/framework/strings.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/orvane_error.h"
#include "lumora/package/package.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/wide_strings.h"
#include "messages.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"

namespace lumora::cli {
namespace {

namespace fs = std::filesystem;

// One parser per document. It has an owner, because only then does it
// apply its DefaultEncoding to documents that declare no encoding.
class TSession {
 public:
  explicit TSession(const TOptions& options) : FParser(&FOwner) {
    FParser.SetStandardXML(!options.Lenient);
    if (options.MaxDepth > 0) FParser.SetMaxNestingDepth(options.MaxDepth);
    FParser.SetValidateDocument(options.Valid);
    FParser.SetDefEncoding(options.InputEncoding);
    FParser.SetRetrieveInternetURI(!options.NoNet);
    FParser.SetAllowLocalFiles(!options.NoLocal);
    if (options.NoCatalogs)
      FParser.SetCatalogFiles({});
    else if (!options.Catalogs.empty())
      FParser.SetCatalogFiles(options.Catalogs);
    FParser.SetFormatedOutput(!options.NoFormat);
    FParser.SetDTDDefaults(options.DTDAttributes);
  }
  // The document goes before the parser it refers to.
  ~TSession() { Document.reset(); }

  TKaOrvane& Parser() { return FParser; }
  std::unique_ptr<TKaXMLDocument> Document;

 private:
  TComponent FOwner{nullptr};
  TKaOrvane FParser;
};

// Parses one file (or standard input), reporting what is wrong with it.
// Returns false when there is no document to go on with: the file could not
// be read or is not well-formed. Validity errors leave the document usable.
// The input is opened once by its name and read in blocks as the parser
// needs them, each byte once: a pipe is not waited on twice, nor a file
// swapped in between.
bool Load(const std::string& file, TSession& session, TReporter& report) {
  TKaOrvane& parser = session.Parser();
  struct TForget {
    TKaOrvane& Parser;
    ~TForget() { Parser.SetOnFileNotFound(nullptr); }
  } forget{parser};
  bool valid = true;
  try {
    TInputStream input(file);
    // Gone, and the line with it, before any message about the file.
    TProgress progress(report.Terminal(), Printable(DisplayName(file)), input.Total());
    input.SetOnRead([&progress](int64_t done) { progress.Update(done); });
    // An external DTD or entity that cannot be read leaves the document
    // well-formed, but validation then misses what it declares: say which.
    parser.SetOnFileNotFound([&report, &file, &progress](TObject*, const std::string& name) {
      progress.Erase();
      report.Warning(file, 0, "cannot read external resource \"" + name + "\"");
    });
    valid = parser.Parse(input, session.Document, file == "-" ? std::string() : file);
  } catch (const EInputError& e) {
    report.Error(
        file,
        std::string(file == "-" ? "cannot read standard input: " : "cannot read file: ") + e.what(),
        kExitFailure);
    return false;
  } catch (const EKaOrvaneError& e) {
    report.SyntaxError(file, e);
    return false;
  } catch (const EKaDOMException& e) {
    // The tree could not be built from what the file holds.
    report.Error(file, e.Message(), kExitMalformed);
    return false;
  } catch (const std::bad_alloc&) {
    report.Error(file, "out of memory", kExitFailure);
    return false;
  } catch (const Exception& e) {
    report.Error(file, e.Message(), kExitFailure);
    return false;
  }
  report.InvalidChars(file,
                      "bytes that are not " +
                          EncodingToString(session.Document->GetOutputEncoding()) +
                          " were read as '_'",
                      parser.GetInvalidChars());
  if (!valid) {
    const TKaErrorsList& errors = parser.GetErrors();
    for (int i = 0; i < errors.Count(); ++i) report.ValidityError(file, *errors.Get(i));
    // Invalid, but no message would say why: never report that as success.
    if (errors.Count() == 0)
      report.Error(file, "validity error: the document is not valid", kExitInvalid);
  }
  return true;
}

// "12 elements, 30 attributes": the declaration's pseudo-attributes left out.
std::string Summary(const TKaXMLDocument& doc) {
  int elements = 0, attributes = 0;
  for (const TKaXMLNode* node = doc.TakeNext(&doc); node; node = doc.TakeNext(node)) {
    if (node->GetType() == ELEMENT_NODE) ++elements;
    if (node->GetType() == ATTRIBUTE_NODE && node->GetParent() != &doc) ++attributes;
  }
  std::ostringstream text;
  text << EncodingToString(doc.GetOutputEncoding()) << ", " << elements
       << (elements == 1 ? " element, " : " elements, ") << attributes
       << (attributes == 1 ? " attribute" : " attributes");
  return text.str();
}

int Check(const TOptions& options, std::ostream& out, TReporter& report) {
  for (const std::string& file : options.Files) {
    TSession session(options);
    const int before = report.Status();
    if (!Load(file, session, report)) continue;
    if (options.Verbose && report.Status() <= before) {
      out << Printable(DisplayName(file)) << ": "
          << (options.Valid ? "well-formed and valid" : "well-formed") << " ("
          << Summary(*session.Document) << ")\n";
    }
  }
  return report.Status();
}

// Characters that the output encoding cannot represent, where XML has no
// escape for them (names, comments, processing instructions): an error that
// leaves OUT alone unless --lossy lets them be written as '_'. written: the
// output could not be held back (standard output, a device).
bool AcceptLosses(const TOptions& options, const std::string& shown, TKaXMLDocument& doc,
                  TReporter& report, bool written = false) {
  const std::u16string lost = doc.GetInvalidChars();
  if (lost.empty()) return true;
  const std::string encoding = EncodingToString(doc.GetOutputEncoding());
  if (options.Lossy) {
    report.InvalidChars(
        shown, "characters that " + encoding + " cannot represent were written as '_'", lost);
    return true;
  }
  report.Error(shown,
               "characters that " + encoding + " cannot represent where no reference can stand: " +
                   InvCharsToString(lost) +
                   (written ? "; they were written as '_'" :
                              "; nothing written (--lossy writes them as '_')"),
               kExitFailure);
  return false;
}

// Output that cannot be taken back (standard output, a device or a pipe)
// is written as it is encoded. Unless --lossy allows them, losses are
// looked for before it is opened, in a write that keeps nothing: only an
// encoding that lacks characters can have any. Returns false when it
// reported them.
bool NothingWouldBeLost(const TOptions& options, const std::string& shown, TKaXMLDocument& doc,
                        TReporter& report) {
  const TEncoding encoding = doc.GetOutputEncoding();
  if (options.Lossy || encoding == UTF_8 || encoding == UTF_16) return true;
  TNullStream nowhere;
  doc.WriteToStream(nowhere);
  return AcceptLosses(options, shown, doc, report);
}

// Writes the document to OUT through a temporary file in the same folder,
// renamed over OUT once complete: a failed write never leaves OUT cut short,
// which matters most when OUT is the input file. Devices and pipes are
// written directly. Returns false when it reported why nothing was written.
bool WriteDocumentFile(const TOptions& options, TKaXMLDocument& doc, TReporter& report) {
  const std::string& output = options.Output;
  std::error_code ec;
  const fs::file_status status = fs::status(output, ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    if (!NothingWouldBeLost(options, output, doc, report)) return false;
    const auto device = TXMLFileStream::CreateForWriting(output);
    doc.WriteToFile(*device);
    return AcceptLosses(options, output, doc, report, true);
  }
  TReplacementFile file(output);
  try {
    doc.WriteToFile(file.Stream(), output);
  } catch (const EWriteError&) {
    if (file.Stream().Error() == 0) throw;
    throw EOutputError(std::strerror(file.Stream().Error()));
  }
  if (!AcceptLosses(options, output, doc, report)) return false;
  file.Commit();
  return true;
}

int Write(const TOptions& options, std::ostream& out, TReporter& report) {
  const std::string& input = options.Files.front();
  TSession session(options);
  if (!Load(input, session, report)) return report.Status();
  TKaXMLDocument& doc = *session.Document;
  doc.SetWriteMode(options.Mode);
  doc.SetWriteDefaultAttributes(options.DTDAttributes);
  doc.SetByteOrder(options.LittleEndian ? boLittleEndian : boBigEndian);
  const std::string& output = options.Output;
  const std::string shown = output == "-" ? "<stdout>" : output;
  try {
    // The declaration names the new encoding too.
    if (options.OutEncoding) doc.SetEncoding(*options.OutEncoding);
  } catch (const EKaOrvaneError& e) {
    report.Error(shown, e.Message(), kExitFailure);
    return report.Status();
  }
  try {
    if (output == "-") {
      if (!NothingWouldBeLost(options, shown, doc, report)) return report.Status();
      TOstreamStream stdoutStream(out);
      doc.WriteToFile(stdoutStream);
      if (!AcceptLosses(options, shown, doc, report, true)) return report.Status();
    } else if (!WriteDocumentFile(options, doc, report)) {
      return report.Status();
    }
  } catch (const EOutputError& e) {
    report.Error(shown, std::string("cannot write file: ") + e.what(), kExitFailure);
    return report.Status();
  } catch (const fs::filesystem_error& e) {
    report.Error(shown, std::string("cannot write file: ") + e.code().message(), kExitFailure);
    return report.Status();
  } catch (const EWriteError&) {
    // Standard output that failed is reported once, when the command ends.
    if (output == "-" && !out) return report.Status();
    report.Error(shown, "cannot write file: not all of the document could be written",
                 kExitFailure);
    return report.Status();
  } catch (const Exception& e) {
    report.Error(shown, "cannot write file: " + e.Message(), kExitFailure);
    return report.Status();
  }
  if (options.Verbose) {
    const std::string encoding = EncodingToString(doc.GetOutputEncoding());
    std::ostream& note = output == "-" ? report.Err() : out;
    note << Printable(shown) << ": written (" << encoding;
    if (doc.GetOutputEncoding() == UTF_16)
      note << (options.LittleEndian ? " little-endian" : " big-endian");
    note << ", mode " << WriteModeName(options.Mode) << ")\n";
  }
  return report.Status();
}

int Find(const TOptions& options, std::ostream& out, TReporter& report) {
  TSession session(options);
  if (!Load(options.Files.front(), session, report)) return report.Status();
  const TKaXMLDocument& doc = *session.Document;
  const std::u16string text = SystemToWide(options.Text);
  // Find starts at the document when given no node: stop at the end instead.
  for (const TKaXMLNode* node = doc.Find(text, nullptr, options.FindFlags); node;) {
    out << node->TypeToTypeString() << '\t' << Printable(node->GetName()) << '\t'
        << Printable(node->GetValue()) << '\n';
    const TKaXMLNode* next = doc.TakeNext(node);
    node = next ? doc.Find(text, next, options.FindFlags) : nullptr;
  }
  return report.Status();
}

int Encodings(std::ostream& out) {
  TKaOrvane parser(nullptr);
  TStringList names;
  parser.SupportedEncodings(names);
  // The thirteen with tables come first, by name alone; the encodings of
  // iconv follow with the other names they answer to.
  for (const std::string& name : names.Lines()) {
    out << name;
    const TEncoding encoding = StringToEncoding(name);
    if (IsIconvEncoding(encoding)) {
      const std::vector<std::string> aliases = EncodingAliases(encoding);
      for (size_t i = 0; i < aliases.size(); ++i) out << (i ? ", " : " (") << aliases[i];
      if (!aliases.empty()) out << ')';
    }
    out << '\n';
  }
  return kExitOk;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        std::ostream* terminal) {
  TOptions options;
  try {
    options = ParseCommandLine(args);
  } catch (const EUsageError& e) {
    err << "lumora: error: " << Printable(std::string_view(e.what())) << "\nTry 'lumora --help'.\n";
    return kExitFailure;
  }
  TReporter report(err, terminal);
  int status = kExitOk;
  try {
    switch (options.Command) {
      case TCommand::kHelp:
        out << kUsage;
        break;
      case TCommand::kVersion:
        out << "lumora " << LibraryVersion() << '\n';
        break;
      case TCommand::kCheck:
        status = Check(options, out, report);
        break;
      case TCommand::kWrite:
        status = Write(options, out, report);
        break;
      case TCommand::kFind:
        status = Find(options, out, report);
        break;
      case TCommand::kEncodings:
        status = Encodings(out);
        break;
    }
  } catch (const std::exception& e) {
    err << "lumora: error: " << Printable(std::string_view(e.what())) << '\n';
    return kExitFailure;
  }
  out.flush();
  if (!out) {
    err << "lumora: error: cannot write to standard output\n";
    return kExitFailure;
  }
  return status;
}

}  // namespace lumora::cli
