#include "messages.h"

#include <ostream>

#include "cli.h"
#include "lumora/dom/node.h"
#include "lumora/framework/sysutils.h"
#include "lumora/framework/utf8.h"
#include "lumora/io/errors_list.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/wide_strings.h"

namespace lumora::cli {

std::string DisplayName(const std::string& file) {
  return file == "-" ? "<stdin>" : file;
}

std::string Printable(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size());
  auto escape = [&out](uint32_t code) {
    out += "\\x";
    out += kHex[code >> 4];
    out += kHex[code & 15];
  };
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
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
        if (c < 0x80) {
          escape(c);
        } else {
          uint32_t code = 0;
          const size_t length = DecodeUtf8Strict(utf8.substr(i), code);
          if (length == 0) {
            escape(c);  // not UTF-8: the byte alone
          } else {
            if (code < 0xA0)
              escape(code);
            else
              out.append(utf8.substr(i, length));
            i += length;
            continue;
          }
        }
    }
    ++i;
  }
  return out;
}

std::string Printable(std::u16string_view text) {
  return Printable(WideToSystem(text));
}

void TReporter::SyntaxError(const std::string& file, const EKaOrvaneError& error) {
  // The error names the file the parser was reading, which is the given one
  // unless the fault lies in another resource the document pulled in.
  const std::string name =
      error.GetFileName().empty() || file == "-" ? DisplayName(file) : error.GetFileName();
  FErr << Printable(name);
  if (error.GetLine() > 0) {
    FErr << ':' << error.GetLine();
    if (error.GetColumn() > 0) FErr << ':' << error.GetColumn();
  }
  FErr << ": error: " << Printable(error.Message());
  if (error.GetExtLine() > 0)
    FErr << " (line " << error.GetExtLine() << " of the entity's replacement text)";
  FErr << '\n';
  Raise(kExitMalformed);
}

void TReporter::ValidityError(const std::string& file, const TKaError& error) {
  FErr << Printable(DisplayName(file));
  if (error.GetLine() > 0) FErr << ':' << error.GetLine() << ':' << error.GetColumn();
  FErr << ": validity error: " << Printable(error.GetMessage());
  // Without a position the node's name is what leads to it.
  const TKaXMLNode* node = error.GetNode();
  if (error.GetLine() == 0 && node && !node->GetName().empty())
    FErr << " (" << node->TypeToTypeString() << " '" << Printable(node->GetName()) << "')";
  FErr << '\n';
  Raise(kExitInvalid);
}

void TReporter::InvalidChars(const std::string& file, const std::string& what,
                             std::u16string_view units) {
  if (units.empty()) return;
  FErr << Printable(DisplayName(file)) << ": warning: " << what << ": " << InvCharsToString(units)
       << '\n';
}

void TReporter::Warning(const std::string& file, long line, const std::string& message) {
  FErr << Printable(DisplayName(file));
  if (line > 0) FErr << ':' << line;
  FErr << ": warning: " << Printable(message) << '\n';
}

void TReporter::Error(const std::string& file, const std::string& message, int status) {
  FErr << Printable(DisplayName(file)) << ": error: " << Printable(message) << '\n';
  Raise(status);
}

}  // namespace lumora::cli
