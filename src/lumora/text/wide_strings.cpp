#include "lumora/text/wide_strings.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstring>

#include <algorithm>
#include <vector>

#include "lumora/framework/sysutils.h"

namespace lumora {

namespace {

// The text up to its first U+0000.
std::u16string_view Terminated(std::u16string_view text) {
  return text.substr(0, static_cast<size_t>(WLength(text)));
}

bool IsBlank(char16_t c) {
  return c == 0x09 || c == 0x0A || c == 0x0D || c == 0x20;
}

template <class Fold>
int CompareBy(std::u16string_view a, std::u16string_view b, Fold fold) {
  a = Terminated(a);
  b = Terminated(b);
  if (a.size() != b.size()) return a.size() > b.size() ? 1 : -1;
  for (size_t i = 0; i < a.size(); ++i) {
    const char16_t x = fold(a[i]);
    const char16_t y = fold(b[i]);
    if (x != y) return x > y ? 1 : -1;
  }
  return 0;
}

}  // namespace

int WLength(std::u16string_view text) {
  const size_t end = text.find(u'\0');
  return static_cast<int>(end == std::u16string_view::npos ? text.size() : end);
}

int WCompareStr(std::u16string_view a, std::u16string_view b) {
  return CompareBy(a, b, [](char16_t c) { return c; });
}

int WCompareText(std::u16string_view a, std::u16string_view b) {
  // Only 'a'..'z' fold, so folding a unit of 256 or above changes nothing.
  return CompareBy(a, b, WUpCase);
}

std::u16string WTrim(std::u16string_view text) {
  text = Terminated(text);
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return std::u16string(text.substr(first, last - first));
}

char16_t WUpCase(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

size_t FindUnit(std::u16string_view text, char16_t c) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i pattern = _mm_set1_epi16(static_cast<int16_t>(c));
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    if (const int equal = _mm_movemask_epi8(_mm_cmpeq_epi16(x, pattern)))
      return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(equal))) / 2;
  }
#else
  constexpr uint64_t kOnes = 0x0001000100010001ULL;
  constexpr uint64_t kHighs = 0x8000800080008000ULL;
  const uint64_t pattern = kOnes * c;
  for (; i + 4 <= text.size(); i += 4) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    const uint64_t x = word ^ pattern;  // a unit equal to c is zero here
    if ((x - kOnes) & ~x & kHighs) break;
  }
#endif
  for (; i < text.size(); ++i) {
    if (text[i] == c) return i;
  }
  return std::u16string_view::npos;
}

char16_t* WStrCopy(char16_t* dest, const char16_t* source) {
  char16_t* out = dest;
  while ((*out++ = *source++) != 0) {
  }
  return dest;
}

TXMLLengthFunc XMLLength = WLength;
TXMLCompareFunc XMLCompareStr = WCompareStr;
TXMLCompareFunc XMLCompareText = WCompareText;
TXMLTrimFunc XMLTrim = WTrim;
TXMLOrdFunc XMLOrd = UOrd;
TXMLCopyFunc XMLCopy = WStrCopy;
TXMLUpCaseFunc XMLUpCase = WUpCase;

void ResetXMLSlots() {
  XMLLength = WLength;
  XMLCompareStr = WCompareStr;
  XMLCompareText = WCompareText;
  XMLTrim = WTrim;
  XMLOrd = UOrd;
  XMLCopy = WStrCopy;
  XMLUpCase = WUpCase;
}

TStringBuffer& invChars() {
  thread_local TStringBuffer buffer(50);
  return buffer;
}

namespace {

// For each code unit, the 1-based position of its first occurrence in
// invChars(), 0 when absent. Brought up to date before every answer: rebuilt
// after a Clear, extended by what was appended since the last answer.
struct InvCharIndex {
  std::vector<uint32_t> Positions;  // 0x10000 entries once anything is recorded
  unsigned Clears = 0;
  size_t Indexed = 0;

  const std::vector<uint32_t>& Update(const TStringBuffer& buffer) {
    const std::u16string_view recorded = buffer.View();
    if (Clears != buffer.ClearCount() || Indexed > recorded.size()) {
      Clears = buffer.ClearCount();
      Indexed = 0;
      std::fill(Positions.begin(), Positions.end(), 0);
    }
    if (Indexed < recorded.size()) {
      if (Positions.empty()) Positions.assign(0x10000, 0);
      for (; Indexed < recorded.size(); ++Indexed) {
        uint32_t& position = Positions[recorded[Indexed]];
        if (position == 0) position = static_cast<uint32_t>(Indexed + 1);
      }
    }
    return Positions;
  }
};

InvCharIndex& Index() {
  thread_local InvCharIndex index;
  return index;
}

}  // namespace

bool InvCharExists(char16_t c) {
  const std::vector<uint32_t>& positions = Index().Update(invChars());
  return !positions.empty() && positions[c] != 0;
}

void RecordInvChar(char16_t c) {
  if (!InvCharExists(c)) invChars().Cat(c);
}

std::string InvCharsToString(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    out += Format(i == 0 ? "(0x%0.4x)" : ", (0x%0.4x)", static_cast<int>(text[i]));
  }
  return out;
}

}  // namespace lumora
