// The subcommands of `lumora` and the dispatch between them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>
#include <sstream>

#include "cli.h"
#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/framework/component.h"
#include "lumora/framework/strings.h"
#include "lumora/framework/sysutils.h"
#include "lumora/framework/utf8.h"
#include "lumora/io/orvane_error.h"
#include "lumora/package/package.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/iconv_encodings.h"
#include "messages.h"
#include "options.h"

namespace lumora::cli {
namespace {

namespace fs = std::filesystem;

// One parser per document. It has an owner, because only then does it
// apply its DefaultEncoding to documents that declare no encoding.
class TSession {
 public:
  explicit TSession(const TOptions& options) : FParser(&FOwner) {
    FParser.SetStandardXML(options.Standard);
    FParser.SetValidateDocument(options.Valid);
    FParser.SetDefEncoding(options.InputEncoding);
    FParser.SetRetrieveInternetURI(!options.NoNet);
    FParser.SetFormatedOutput(!options.NoFormat);
  }
  // The document goes before the parser it refers to.
  ~TSession() { Document.reset(); }

  TKaOrvane& Parser() { return FParser; }
  std::unique_ptr<TKaXMLDocument> Document;

 private:
  TComponent FOwner{nullptr};
  TKaOrvane FParser;
};

// Why a file cannot be opened for reading, in the system's words.
std::string OpenFailure(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  struct stat info {};
  const bool directory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  ::close(fd);
  return directory ? std::strerror(EISDIR) : "cannot be opened";
}

// The library reads each byte that starts no well-formed UTF-8 sequence as
// '_' and reports its value; the bytes are looked at here as well to say on
// which line the first one stands, a clue that the document is in another
// encoding. Returns whether there was any.
bool CheckUtf8(const std::string& file, const std::string& bytes, TReporter& report) {
  size_t bad = 0, first = 0;
  for (size_t i = 0; i < bytes.size();) {
    uint32_t cp = 0;
    const size_t length = static_cast<unsigned char>(bytes[i]) < 0x80
                              ? 1
                              : DecodeUtf8Strict(std::string_view(bytes).substr(i), cp);
    if (length == 0) {
      if (bad++ == 0) first = i;
      ++i;
    } else {
      i += length;
    }
  }
  if (bad == 0) return false;
  const auto line =
      1 + std::count(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(first), '\n');
  char code[8];
  std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(bytes[first]));
  report.Warning(file, line,
                 std::string("byte ") + code + " is not UTF-8" +
                     (bad > 1 ? " (nor are " + std::to_string(bad - 1) + " more)" : "") +
                     "; is the document in another encoding?");
  return true;
}

std::string ReadAll(std::istream& in) {
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Parses one file (or standard input), reporting what is wrong with it.
// Returns false when there is no document to go on with: the file could not
// be read or is not well-formed. Validity errors leave the document usable.
bool Load(const std::string& file, TSession& session, TReporter& report) {
  TKaOrvane& parser = session.Parser();
  std::string input;  // standard input, kept for CheckUtf8
  auto checkUtf8 = [&] {
    if (!session.Document || session.Document->GetOutputEncoding() != UTF_8) return false;
    if (file == "-") return CheckUtf8(file, input, report);
    std::ifstream in(file, std::ios::binary);
    return CheckUtf8(file, ReadAll(in), report);
  };
  bool valid = true;
  try {
    if (file == "-") {
      input = ReadAll(std::cin);
      if (std::cin.bad()) {
        report.Error(file, "cannot read standard input", kExitFailure);
        return false;
      }
      TStringStream stream(input);
      valid = parser.Parse(stream, session.Document);
    } else {
      valid = parser.Parse(file, session.Document);
    }
  } catch (const EFCreateError&) {
    report.Error(file, "cannot read file: " + OpenFailure(file), kExitFailure);
    return false;
  } catch (const EKaOrvaneError& e) {
    checkUtf8();
    report.SyntaxError(file, e);
    return false;
  } catch (const EKaDOMException& e) {
    // The tree could not be built from what the file holds.
    checkUtf8();
    report.Error(file, e.Message(), kExitMalformed);
    return false;
  } catch (const std::bad_alloc&) {
    report.Error(file, "out of memory", kExitFailure);
    return false;
  } catch (const Exception& e) {
    report.Error(file, e.Message(), kExitFailure);
    return false;
  }
  // For UTF-8 the line of the first bad byte says more than the list of codes.
  if (!checkUtf8())
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
      out << DisplayName(file) << ": " << (options.Valid ? "well-formed and valid" : "well-formed")
          << " (" << Summary(*session.Document) << ")\n";
    }
  }
  return report.Status();
}

// The permissions a new file gets from the process's file-creation mask.
fs::perms NewFilePermissions() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<fs::perms>(0666 & ~mask);
}

// Writes the document to OUT through a temporary file in the same folder,
// renamed over OUT once complete: a failed write never leaves OUT cut short,
// which matters most when OUT is the input file. Devices and pipes are
// written directly.
void WriteDocumentFile(TKaXMLDocument& doc, const std::string& output) {
  std::error_code ec;
  const fs::file_status status = fs::status(output, ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    doc.WriteToFile(output);
    return;
  }
  // Through a symbolic link, the file it points to is replaced.
  const fs::path target = fs::exists(status) ? fs::canonical(output) : fs::path(output);
  const fs::perms permissions = fs::exists(status) ? status.permissions() : NewFilePermissions();
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw EFCreateError(std::strerror(errno));
  ::close(fd);
  try {
    doc.WriteToFile(pattern);
    fs::permissions(pattern, permissions, fs::perm_options::replace);
    fs::rename(pattern, target);
  } catch (...) {
    fs::remove(pattern, ec);
    throw;
  }
}

int Write(const TOptions& options, std::ostream& out, TReporter& report) {
  const std::string& input = options.Files.front();
  TSession session(options);
  if (!Load(input, session, report)) return report.Status();
  TKaXMLDocument& doc = *session.Document;
  doc.SetWriteMode(options.Mode);
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
      TMemoryStream text;
      if (doc.GetOutputEncoding() == UTF_16)
        text.WriteString(doc.GetByteOrder() == boBigEndian ? "\xFE\xFF" : "\xFF\xFE");
      doc.WriteToStream(text);
      out.write(text.Memory(), static_cast<std::streamsize>(text.Size()));
    } else {
      WriteDocumentFile(doc, output);
    }
  } catch (const fs::filesystem_error& e) {
    report.Error(shown, std::string("cannot write file: ") + e.code().message(), kExitFailure);
    return report.Status();
  } catch (const EWriteError&) {
    report.Error(shown, "cannot write file: not all of the document could be written",
                 kExitFailure);
    return report.Status();
  } catch (const Exception& e) {
    report.Error(shown, "cannot write file: " + e.Message(), kExitFailure);
    return report.Status();
  }
  const std::string encoding = EncodingToString(doc.GetOutputEncoding());
  report.InvalidChars(shown,
                      "characters that " + encoding + " cannot represent were written as '_'",
                      doc.GetInvalidChars());
  if (options.Verbose) {
    std::ostream& note = output == "-" ? report.Err() : out;
    note << shown << ": written (" << encoding;
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

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TOptions options;
  try {
    options = ParseCommandLine(args);
  } catch (const EUsageError& e) {
    err << "lumora: error: " << e.what() << "\nTry 'lumora --help'.\n";
    return kExitFailure;
  }
  TReporter report(err);
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
    err << "lumora: error: " << e.what() << '\n';
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
