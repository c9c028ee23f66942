// The command line of `lumora`: which subcommand, with which settings.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lumora/io/write_mode.h"
#include "lumora/text/code_pages.h"

namespace lumora::cli {

enum class TCommand { kHelp, kVersion, kCheck, kWrite, kFind, kEncodings };

struct TOptions {
  TCommand Command = TCommand::kHelp;
  std::vector<std::string> Files;  // check: every file; write and find: the one input

  // Reading.
  bool Valid = false;
  bool Lenient = false;  // the relaxed grammar; strict XML 1.0 otherwise
  int MaxDepth = 0;      // deepest element nesting; 0: the library's default
  bool NoNet = false;
  bool NoLocal = false;  // external DTDs and entities are not read from local files
  // --catalog: XML catalogs used instead of the default ones; --no-catalogs:
  // none at all.
  std::vector<std::string> Catalogs;
  bool NoCatalogs = false;
  bool Verbose = false;
  bool DTDAttributes = false;       // the DTD's attribute defaults into the tree (and written)
  TEncoding InputEncoding = UTF_8;  // for documents that declare none and have no BOM

  // write
  std::string Output;                      // "-" is standard output
  std::optional<std::string> OutEncoding;  // as the user spelled it
  TWriteMode Mode = wmStandard;
  bool LittleEndian = false;
  bool NoFormat = false;
  bool Lossy = false;  // characters the output cannot hold may become '_'

  // find
  std::string Text;  // UTF-8
  int FindFlags = 0;
};

// A command line that cannot be run; the message says why.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Raises EUsageError.
TOptions ParseCommandLine(const std::vector<std::string>& args);

// The write modes by their command-line names, and back.
std::optional<TWriteMode> WriteModeFromName(const std::string& name);
const char* WriteModeName(TWriteMode mode);

extern const char* const kUsage;

}  // namespace lumora::cli
