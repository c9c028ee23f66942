#include "options.h"

#include <array>
#include <charconv>
#include <utility>

#include "lumora/dom/document.h"

namespace lumora::cli {
namespace {

struct TModeName {
  TWriteMode Mode;
  const char* Name;
};
constexpr std::array<TModeName, 5> kModeNames{{
    {wmStandard, "standard"},
    {wmStandalone, "standalone"},
    {wmLinkedDTD, "linked-dtd"},
    {wmExternalDTD, "external-dtd"},
    {wmAllExternal, "all-external"},
}};

TEncoding EncodingArgument(const std::string& option, const std::string& name) {
  const TEncoding encoding = StringToEncoding(name);
  if (encoding == n_sup)
    throw EUsageError("unknown encoding '" + name + "' for " + option +
                      " ('lumora encodings' lists the supported ones)");
  return encoding;
}

int DepthArgument(const std::string& option, const std::string& text) {
  int depth = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), depth);
  if (error != std::errc() || end != text.data() + text.size() || depth < 1)
    throw EUsageError("option '" + option + "' needs a whole number of at least 1, not '" + text +
                      "'");
  return depth;
}

// Which options a subcommand takes.
enum TOptionSet : unsigned {
  kReadOpts = 1,   // --lenient --standard --max-depth --no-net --verbose --dtd-attrs
  kCheckOpts = 2,  // --valid --encoding (input)
  kWriteOpts = 4,  // -o --mode --encoding (output) --input-encoding --lossy ...
  kFindOpts = 8,   // --names --values ... and --encoding (input)
};

unsigned OptionsOf(TCommand command) {
  switch (command) {
    case TCommand::kCheck:
      return kReadOpts | kCheckOpts;
    case TCommand::kWrite:
      return kReadOpts | kWriteOpts;
    case TCommand::kFind:
      return kReadOpts | kFindOpts;
    default:
      return 0;
  }
}

const char* CommandName(TCommand command) {
  switch (command) {
    case TCommand::kCheck:
      return "check";
    case TCommand::kWrite:
      return "write";
    case TCommand::kFind:
      return "find";
    case TCommand::kEncodings:
      return "encodings";
    default:
      return "";
  }
}

}  // namespace

const char* const kUsage = R"(Usage: lumora COMMAND [OPTIONS] ARGUMENTS

Commands:
  check FILE...          report whether each file is well-formed (and valid)
      --valid            also validate against the document type
      --lenient          accept the relaxed syntax (for example </>);
                         strict XML 1.0 otherwise
      --max-depth N      refuse elements nested deeper than N (default 2000)
      --encoding NAME    encoding of documents that declare none (default UTF-8)
      --no-net           do not download external resources
      --verbose          print a summary line for every good file
      --dtd-attrs        give elements the attributes that the DTD declares
                         with a default and the tag leaves out
  write IN -o OUT        parse IN and write it to OUT ("-" for standard output)
      --encoding NAME    output encoding, also named in the XML declaration
      --little-endian    UTF-16 output in little-endian byte order
      --mode MODE        standard, standalone, linked-dtd, external-dtd, all-external
      --no-format        write without indentation
      --lossy            write characters the output encoding cannot hold
                         in names, comments and PIs as '_' (a warning)
                         instead of failing
      --dtd-attrs        also write the attributes the DTD's defaults add
      --input-encoding NAME, --lenient, --max-depth N, --no-net, --verbose
                         as for check
  find FILE TEXT         print each node that matches TEXT: type, name, value
      --names --values   compare names, values (both when neither is given)
      --elements         also compare elements themselves
      --doctype          also compare the document type node
      --case             compare case-sensitively
      --whole            the whole name or value must equal TEXT
      --encoding NAME, --lenient, --max-depth N, --no-net, --dtd-attrs
                         as for check
  encodings              list the supported encodings
  --version              print the version
  --help                 print this help

Where check, write and find read external DTDs and entities from:
      --no-local         never from local files (--no-net: never downloaded)
      --catalog FILE     resolve identifiers by this XML catalog (repeatable)
                         instead of XML_CATALOG_FILES or /etc/xml/catalog
      --no-catalogs      by no XML catalog

A FILE of "-" is standard input. --standard is accepted and changes nothing.
Control characters in what is printed are written as \xHH.
Exit status: 0 all well-formed (and valid),
1 validity errors, 2 a file is not well-formed, 3 a file could not be read or
written, or the command line is wrong.
)";

std::optional<TWriteMode> WriteModeFromName(const std::string& name) {
  for (const TModeName& m : kModeNames)
    if (name == m.Name) return m.Mode;
  return std::nullopt;
}

const char* WriteModeName(TWriteMode mode) {
  for (const TModeName& m : kModeNames)
    if (mode == m.Mode) return m.Name;
  return "unknown";
}

TOptions ParseCommandLine(const std::vector<std::string>& args) {
  TOptions options;
  if (args.empty()) throw EUsageError("no command given");
  const std::string& first = args[0];
  if (first == "--help" || first == "-h" || first == "help") {
    options.Command = TCommand::kHelp;
    return options;
  }
  if (first == "--version") {
    options.Command = TCommand::kVersion;
    return options;
  }
  if (first == "check")
    options.Command = TCommand::kCheck;
  else if (first == "write")
    options.Command = TCommand::kWrite;
  else if (first == "find")
    options.Command = TCommand::kFind;
  else if (first == "encodings")
    options.Command = TCommand::kEncodings;
  else if (!first.empty() && first[0] == '-')
    throw EUsageError("unknown option '" + first + "'; a command comes first");
  else
    throw EUsageError("unknown command '" + first + "'");

  const unsigned allowed = OptionsOf(options.Command);
  const std::string command = CommandName(options.Command);
  std::vector<std::string> positional;
  bool optionsEnded = false;
  bool outputGiven = false;

  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" or "--name value"; "-o" takes its value the second way.
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw EUsageError("option '" + name + "' needs a value");
      return args[++i];
    };
    auto flag = [&](bool& target) {
      if (inlineValue) throw EUsageError("option '" + name + "' takes no value");
      target = true;
    };
    auto findFlag = [&](int bit) {
      if (inlineValue) throw EUsageError("option '" + name + "' takes no value");
      options.FindFlags |= bit;
    };
    auto takes = [&](unsigned set) { return (allowed & set) != 0; };

    if (name == "--help" || name == "-h") {
      options.Command = TCommand::kHelp;
      return options;
    } else if (name == "--standard" && takes(kReadOpts)) {
      bool strict = false;  // the default: kept for scripts that ask for it
      flag(strict);
    } else if (name == "--lenient" && takes(kReadOpts)) {
      flag(options.Lenient);
    } else if (name == "--max-depth" && takes(kReadOpts)) {
      options.MaxDepth = DepthArgument(name, value());
    } else if (name == "--no-net" && takes(kReadOpts)) {
      flag(options.NoNet);
    } else if (name == "--no-local" && takes(kReadOpts)) {
      flag(options.NoLocal);
    } else if (name == "--catalog" && takes(kReadOpts)) {
      const std::string file = value();
      if (file.empty()) throw EUsageError("option '--catalog' needs a file name");
      options.Catalogs.push_back(file);
    } else if (name == "--no-catalogs" && takes(kReadOpts)) {
      flag(options.NoCatalogs);
    } else if (name == "--verbose" && takes(kReadOpts)) {
      flag(options.Verbose);
    } else if (name == "--dtd-attrs" && takes(kReadOpts)) {
      flag(options.DTDAttributes);
    } else if (name == "--valid" && takes(kCheckOpts)) {
      flag(options.Valid);
    } else if (name == "--encoding" && takes(kCheckOpts | kFindOpts)) {
      options.InputEncoding = EncodingArgument(name, value());
    } else if (name == "--input-encoding" && takes(kWriteOpts)) {
      options.InputEncoding = EncodingArgument(name, value());
    } else if (name == "--encoding" && takes(kWriteOpts)) {
      const std::string encoding = value();
      EncodingArgument(name, encoding);
      options.OutEncoding = encoding;
    } else if ((name == "-o" || name == "--output") && takes(kWriteOpts)) {
      options.Output = value();
      outputGiven = true;
    } else if (name == "--mode" && takes(kWriteOpts)) {
      const std::string mode = value();
      const auto parsed = WriteModeFromName(mode);
      if (!parsed)
        throw EUsageError("unknown write mode '" + mode +
                          "' (standard, standalone, linked-dtd, external-dtd, all-external)");
      options.Mode = *parsed;
    } else if (name == "--little-endian" && takes(kWriteOpts)) {
      flag(options.LittleEndian);
    } else if (name == "--no-format" && takes(kWriteOpts)) {
      flag(options.NoFormat);
    } else if (name == "--lossy" && takes(kWriteOpts)) {
      flag(options.Lossy);
    } else if (name == "--names" && takes(kFindOpts)) {
      findFlag(fnNames);
    } else if (name == "--values" && takes(kFindOpts)) {
      findFlag(fnValues);
    } else if (name == "--doctype" && takes(kFindOpts)) {
      findFlag(fnDocumentType);
    } else if (name == "--elements" && takes(kFindOpts)) {
      findFlag(fnElements);
    } else if (name == "--case" && takes(kFindOpts)) {
      findFlag(fnCaseSensitive);
    } else if (name == "--whole" && takes(kFindOpts)) {
      findFlag(fnWholeString);
    } else {
      throw EUsageError("unknown option '" + name + "' for '" + command + "'");
    }
  }

  switch (options.Command) {
    case TCommand::kCheck:
      if (positional.empty()) throw EUsageError("'check' needs at least one file");
      options.Files = std::move(positional);
      break;
    case TCommand::kWrite:
      if (positional.size() != 1) throw EUsageError("'write' takes one input file");
      if (!outputGiven || options.Output.empty())
        throw EUsageError("'write' needs an output file: -o OUT");
      options.Files = std::move(positional);
      break;
    case TCommand::kFind:
      if (positional.size() != 2) throw EUsageError("'find' takes a file and the text to find");
      options.Files = {positional[0]};
      options.Text = positional[1];
      // Neither names nor values: compare both.
      if ((options.FindFlags & (fnNames | fnValues)) == 0) options.FindFlags |= fnNames | fnValues;
      break;
    case TCommand::kEncodings:
      if (!positional.empty()) throw EUsageError("'encodings' takes no arguments");
      break;
    default:
      break;
  }
  return options;
}

}  // namespace lumora::cli
