#include "messages.h"

#include <ostream>

#include "cli.h"
#include "lumora/dom/node.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/errors_list.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/wide_strings.h"

namespace lumora::cli {

std::string DisplayName(const std::string& file) {
  return file == "-" ? "<stdin>" : file;
}

std::string Printable(std::u16string_view text) {
  std::string out;
  for (const char c : WideToSystem(text)) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void TReporter::SyntaxError(const std::string& file, const EKaOrvaneError& error) {
  // The error names the file the parser was reading, which is the given one
  // unless the fault lies in another resource the document pulled in.
  const std::string name =
      error.GetFileName().empty() || file == "-" ? DisplayName(file) : error.GetFileName();
  FErr << name;
  if (error.GetLine() > 0) FErr << ':' << error.GetLine();
  FErr << ": error: " << error.Message();
  if (error.GetExtLine() > 0)
    FErr << " (line " << error.GetExtLine() << " of the entity's replacement text)";
  FErr << '\n';
  Raise(kExitMalformed);
}

void TReporter::ValidityError(const std::string& file, const TKaError& error) {
  FErr << DisplayName(file) << ": validity error: " << error.GetMessage();
  if (const TKaXMLNode* node = error.GetNode(); node && !node->GetName().empty())
    FErr << " (" << node->TypeToTypeString() << " '" << Printable(node->GetName()) << "')";
  FErr << '\n';
  Raise(kExitInvalid);
}

void TReporter::InvalidChars(const std::string& file, const std::string& what,
                             std::u16string_view units) {
  if (units.empty()) return;
  FErr << DisplayName(file) << ": warning: " << what << ": " << InvCharsToString(units) << '\n';
}

void TReporter::Warning(const std::string& file, long line, const std::string& message) {
  FErr << DisplayName(file);
  if (line > 0) FErr << ':' << line;
  FErr << ": warning: " << message << '\n';
}

void TReporter::Error(const std::string& file, const std::string& message, int status) {
  FErr << DisplayName(file) << ": error: " << message << '\n';
  Raise(status);
}

}  // namespace lumora::cli
