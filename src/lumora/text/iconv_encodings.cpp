#include "lumora/text/iconv_encodings.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "lumora/framework/utf8.h"
#include "lumora/text/iconv_converter.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

namespace {

std::string UpperAscii(std::string_view name) {
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

template <typename F>
void ForEachAlias(const char* aliases, F f) {
  for (const char* a = aliases; *a; a += std::char_traits<char>::length(a) + 1) f(a);
}

const std::unordered_map<std::string, TEncoding>& NameIndex() {
  static const std::unordered_map<std::string, TEncoding> index = [] {
    std::unordered_map<std::string, TEncoding> built;
    for (int e = i8859_1; e < kEncodingCount; ++e)
      built.emplace(UpperAscii(cps[e]), static_cast<TEncoding>(e));
    for (int i = 0; i < kTableAliasCount; ++i)
      built.emplace(UpperAscii(kTableAliases[i].Name), kTableAliases[i].Encoding);
    for (int i = 0; i < kIconvCharsetCount; ++i) {
      const auto code = static_cast<TEncoding>(kFirstIconvEncoding + i);
      built.emplace(UpperAscii(kIconvCharsets[i].Name), code);
      ForEachAlias(kIconvCharsets[i].Aliases, [&](const char* a) { built.emplace(UpperAscii(a), code); });
    }
    return built;
  }();
  return index;
}

// Appends the encoded form of units; returns how many of them were
// converted: all, unless iconv stops at one it has no form for.
size_t AppendEncoded(TIconvConverter& to, std::u16string_view units, std::string& out) {
  const char* const begin = reinterpret_cast<const char*>(units.data());
  const char* in = begin;
  size_t inLeft = units.size() * sizeof(char16_t);
  while (inLeft > 0) {
    const size_t old = out.size();
    out.resize(old + inLeft * 2 + 16);
    char* o = out.data() + old;
    size_t outLeft = out.size() - old;
    const size_t r = to.Convert(&in, &inLeft, &o, &outLeft);
    out.resize(out.size() - outLeft);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
  }
  return static_cast<size_t>(in - begin) / sizeof(char16_t);
}

void AppendFinish(TIconvConverter& to, std::string& out) {
  char tail[32];
  char* o = tail;
  size_t outLeft = sizeof tail;
  to.Finish(&o, &outLeft);
  out.append(tail, sizeof tail - outLeft);
}

// Whether units (one character) encode to bytes that decode to units again.
bool RoundTrips(TIconvConverter& to, TIconvConverter& from, std::u16string_view units) {
  to.Reset();
  std::string bytes;
  if (AppendEncoded(to, units, bytes) != units.size()) return false;
  AppendFinish(to, bytes);
  from.Reset();
  char16_t back[8];
  const char* in = bytes.data();
  size_t inLeft = bytes.size();
  char* o = reinterpret_cast<char*>(back);
  size_t outLeft = sizeof back;
  if (from.Convert(&in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) return false;
  const size_t count = (sizeof back - outLeft) / sizeof(char16_t);
  return std::u16string_view(back, count) == units;
}

// One bit per BMP code point: whether the encoding round-trips it. Built
// once per encoding, on first use.
using TBitmap = std::array<uint64_t, 0x10000 / 64>;

const TBitmap& BmpBitmap(TEncoding encoding, const TIconvCharset& charset) {
  static std::array<std::atomic<const TBitmap*>, 256> built{};
  static std::array<std::unique_ptr<TBitmap>, 256> owned;
  static std::mutex building;
  if (const TBitmap* ready = built[encoding].load(std::memory_order_acquire)) return *ready;
  std::lock_guard lock(building);
  if (const TBitmap* ready = built[encoding].load(std::memory_order_acquire)) return *ready;
  auto bitmap = std::make_unique<TBitmap>();
  TIconvConverter to(charset.IconvName, kIconvUnits), from(kIconvUnits, charset.IconvName);
  if (to.IsOpen() && from.IsOpen()) {
    for (uint32_t c = 0; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const char16_t unit = static_cast<char16_t>(c);
      if (RoundTrips(to, from, std::u16string_view(&unit, 1)))
        (*bitmap)[c / 64] |= uint64_t{1} << (c % 64);
    }
  }
  owned[encoding] = std::move(bitmap);
  built[encoding].store(owned[encoding].get(), std::memory_order_release);
  return *owned[encoding];
}

bool InBitmap(const TBitmap& bitmap, char16_t c) {
  return (bitmap[c / 64] >> (c % 64)) & 1;
}

}  // namespace

const TIconvCharset* IconvCharset(TEncoding encoding) {
  const int index = static_cast<int>(encoding) - kFirstIconvEncoding;
  return index >= 0 && index < kIconvCharsetCount ? &kIconvCharsets[index] : nullptr;
}

std::vector<TEncoding> AllEncodings() {
  std::vector<TEncoding> all;
  for (int e = i8859_1; e < kFirstIconvEncoding + kIconvCharsetCount; ++e)
    all.push_back(static_cast<TEncoding>(e));
  return all;
}

std::vector<std::string> EncodingAliases(TEncoding encoding) {
  std::vector<std::string> aliases;
  if (const TIconvCharset* charset = IconvCharset(encoding)) {
    ForEachAlias(charset->Aliases, [&](const char* a) { aliases.emplace_back(a); });
    return aliases;
  }
  for (int i = 0; i < kTableAliasCount; ++i)
    if (kTableAliases[i].Encoding == encoding) aliases.emplace_back(kTableAliases[i].Name);
  return aliases;
}

TEncoding LookUpEncodingName(std::string_view name) {
  const auto& index = NameIndex();
  const auto found = index.find(UpperAscii(name));
  return found == index.end() ? n_sup : found->second;
}

struct TIconvEncoder::TState {
  TState(TEncoding encoding, const TIconvCharset& charset)
      : Encoding(encoding), To(charset.IconvName, kIconvUnits) {
    if (To.IsOpen()) Bitmap = &BmpBitmap(encoding, charset);
  }
  TEncoding Encoding;
  TIconvConverter To;
  const TBitmap* Bitmap = nullptr;  // nil when the converter did not open
};

TIconvEncoder::TIconvEncoder(TEncoding encoding) {
  if (const TIconvCharset* charset = IconvCharset(encoding))
    FState = std::make_unique<TState>(encoding, *charset);
}

TIconvEncoder::~TIconvEncoder() = default;

void TIconvEncoder::Append(std::u16string_view text, std::string& out) {
  if (!FState) return;
  if (!FState->Bitmap) {
    for (char16_t c : text) RecordInvChar(c);
    out.append(text.size(), '_');
    return;
  }
  TIconvConverter& to = FState->To;
  const TBitmap& bitmap = *FState->Bitmap;
  const TEncoding encoding = FState->Encoding;
  const auto lengthAt = [&](size_t i) -> size_t {
    return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
  };
  const auto replace = [&](size_t i, size_t length) {
    for (size_t k = 0; k < length; ++k) RecordInvChar(text[i + k]);
    AppendEncoded(to, u"_", out);
  };
  // Converts text[run, end) in one call, which stops only where iconv
  // disagrees with the bitmap; such a character is replaced as well.
  size_t run = 0;
  const auto convertUpTo = [&](size_t end) {
    while (run < end) {
      run += AppendEncoded(to, text.substr(run, end - run), out);
      if (run < end) {
        const size_t length = lengthAt(run);
        replace(run, length);
        run += length;
      }
    }
  };
  for (size_t i = 0; i < text.size();) {
    const char16_t c = text[i];
    const size_t length = lengthAt(i);
    const bool ok = length == 2 ? IconvCanEncode(encoding, CombineSurrogates(c, text[i + 1]))
                                : !IsHighSurrogate(c) && !IsLowSurrogate(c) && InBitmap(bitmap, c);
    if (!ok) {
      convertUpTo(i);
      replace(i, length);
      run = i + length;
    }
    i += length;
  }
  convertUpTo(text.size());
}

void TIconvEncoder::Finish(std::string& out) {
  if (FState && FState->Bitmap) AppendFinish(FState->To, out);
}

std::string IconvEncode(std::u16string_view text, TEncoding encoding) {
  TIconvEncoder encoder(encoding);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  encoder.Append(text, out);
  encoder.Finish(out);
  return out;
}

bool IconvCanEncode(TEncoding encoding, uint32_t codePoint) {
  const TIconvCharset* charset = IconvCharset(encoding);
  if (!charset || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return false;
  if (codePoint < 0x10000)
    return InBitmap(BmpBitmap(encoding, *charset), static_cast<char16_t>(codePoint));
  // Few encodings hold characters above the BMP, and few documents use them:
  // each is tried on its own.
  TIconvConverter to(charset->IconvName, kIconvUnits), from(kIconvUnits, charset->IconvName);
  if (!to.IsOpen() || !from.IsOpen()) return false;
  std::u16string pair;
  AppendUtf16(pair, codePoint);
  return RoundTrips(to, from, pair);
}

}  // namespace lumora
