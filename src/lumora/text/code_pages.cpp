#include "lumora/text/code_pages.h"

#include "lumora/text/iconv_encodings.h"

namespace lumora {

const char* const cps[kEncodingCount] = {
    "not supported", "ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4",
    "ISO-8859-5",    "ISO-8859-6", "ISO-8859-7", "ISO-8859-8", "ISO-8859-9",
    "ISO-8859-10",   "US-ASCII",   "UTF-8",      "UTF-16",
};

std::string EncodingToString(TEncoding encoding) {
  if (encoding < kEncodingCount) return cps[encoding];
  if (const TIconvCharset* charset = IconvCharset(encoding)) return charset->Name;
  // A value beyond every encoding (a cast integer) names none.
  return cps[n_sup];
}

namespace {

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace

TEncoding StringToEncoding(std::string_view name) {
  // "not supported" is a description, not a name: the search starts after it.
  for (int e = i8859_1; e < kEncodingCount; ++e) {
    if (SameNameIgnoringCase(name, cps[e])) return static_cast<TEncoding>(e);
  }
  return LookUpEncodingName(name);
}

}  // namespace lumora
