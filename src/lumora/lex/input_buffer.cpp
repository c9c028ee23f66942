#include "lumora/lex/input_buffer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lumora/framework/utf8.h"

#include "lumora/framework/sysutils.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/conversions.h"

namespace lumora {
namespace {

// The code table that decodes single bytes in an encoding: its own for the
// 8-bit encodings, Latin-1 for UTF-16 declared on 8-bit data, ASCII else.
const char16_t* RowOf(TEncoding encoding) {
  if (encoding >= i8859_1 && encoding <= US_ASCII) return iso[encoding - i8859_1];
  return iso[(encoding == UTF_16 ? i8859_1 : US_ASCII) - i8859_1];
}

}  // namespace

TInputBuffer::TInputBuffer(int32_t blockSize)
    : FBlockSize(blockSize < 2 ? 2 : blockSize),
      // Padding after the blocks for the 16-byte loads of bulk runs.
      FData(new uint8_t[2 * static_cast<size_t>(FBlockSize) + 16]()),
      FMarks(new TMark[2 * static_cast<size_t>(FBlockSize) + 1]()),
      FRow(iso[US_ASCII - i8859_1]) {}

TInputBuffer::~TInputBuffer() = default;

std::unique_ptr<TInputBuffer> TInputBuffer::CreateFromStream(TStream& stream) {
  auto buffer = std::make_unique<TInputBuffer>();
  buffer->Init(stream);
  return buffer;
}

std::unique_ptr<TInputBuffer> TInputBuffer::CreateFromFile(const std::string& fileName) {
  auto buffer = std::make_unique<TInputBuffer>();
  buffer->FFileName = fileName;
  buffer->Init(TXMLFileStream::OpenForReading(fileName));
  return buffer;
}

void TInputBuffer::Init(std::unique_ptr<TStream> stream) {
  TStream& source = *stream;
  Init(source);
  FOwnedStream = std::move(stream);
}

void TInputBuffer::Init(TStream& stream) {
  FOwnedStream.reset();
  FStream = &stream;
  FStream->Seek(0, TSeekOrigin::soBeginning);
  FLength[1] = 0;
  FillBlock(0);
  FCurrent = 0;
  FPos = 0;
  FLimit = FLength[0];
  FPastEnd = 0;
  FRefill = true;
  FBehindValid = false;
  FPendingLow = 0;
  FLine = 1;
  FChars = 0;
  FLineStart = 0;
  FLineHistory = 0;
  FTwoByte = false;
  FUtf8Mark = false;
  FTranscoded = false;
  FUtf16Mark = false;
  FEncoding = US_ASCII;
  const uint8_t* const d = FData.get();
  if (FLength[0] >= 2 && ((d[0] == 0xFF && d[1] == 0xFE) || (d[0] == 0xFE && d[1] == 0xFF))) {
    FTwoByte = true;
    FUtf16Mark = true;
    FByteOrder = d[0] == 0xFF ? boLittleEndian : boBigEndian;
    FEncoding = UTF_16;
    FPos = 2;
  } else if (FLength[0] >= 4 && ((d[0] == '<' && d[1] == 0 && d[2] == '?' && d[3] == 0) ||
                                 (d[0] == 0 && d[1] == '<' && d[2] == 0 && d[3] == '?'))) {
    // "<?" in UTF-16 without a mark: a declaration follows in that order.
    FTwoByte = true;
    FByteOrder = d[0] == 0 ? boBigEndian : boLittleEndian;
    FEncoding = UTF_16;
  } else if (FLength[0] >= 3 && FData[0] == 0xEF && FData[1] == 0xBB && FData[2] == 0xBF) {
    // The UTF-8 form of the mark, which many editors write.
    FUtf8Mark = true;
    FEncoding = UTF_8;
    FPos = 3;
  }
  UpdateMode();
}

void TInputBuffer::FillBlock(int block) {
  // A short block marks the end of the data, so a stream that delivers less
  // than asked (a pipe, a download) is asked again until it gives nothing.
  uint8_t* data = FData.get() + static_cast<size_t>(block) * FBlockSize;
  int32_t length = 0;
  while (FStream && length < FBlockSize) {
    const int64_t n = FStream->Read(data + length, FBlockSize - length);
    if (n <= 0) break;
    length += static_cast<int32_t>(n);
  }
  FLength[block] = length;
}

void TInputBuffer::DeclareEncoding(const std::string& name) {
  const TEncoding declared = StringToEncoding(name);
  if (!FTranscoded) {
    // A UTF-16 form fixed by the first bytes admits only UTF-16 names; the
    // variants that name a byte order must name this one.
    const bool utf16 = declared == UTF_16 ||
                       CompareText(name, FByteOrder == boBigEndian ? "UTF-16BE" : "UTF-16LE") == 0;
    const char* conflict = nullptr;
    if (FUtf8Mark && declared != UTF_8)
      conflict = "the UTF-8 byte-order mark";
    else if (FUtf16Mark && !utf16)
      conflict = "the UTF-16 byte-order mark";
    else if (FTwoByte && !FUtf16Mark && !utf16)
      conflict = "the document's UTF-16 form";
    else if (!FTwoByte && declared == UTF_16)
      conflict = "the document's single-byte form (UTF-16 needs a byte-order mark)";
    if (conflict) RaiseIllegal(Format("Encoding '%s' contradicts %s.", name, conflict));
  }
  SetEncoding(declared);
}

void TInputBuffer::SetEncoding(TEncoding encoding) {
  FEncoding = encoding;
  UpdateMode();
}

namespace {

// The bytes that may stand for themselves in a run in ASCII-based encodings.
bool IsAsciiRunByte(int b) {
  return b == '\t' || b == '\n' || (b >= 0x20 && b < 0x80);
}

#if defined(__SSE2__)
__m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

}  // namespace

#if defined(__SSE2__)
// A run set's constants, loaded into registers once per run (the scans that
// use it call nothing while they loop, so that they stay there).
struct TRunVector {
  explicit TRunVector(const TInputBuffer::TRunSet& set)
      : FLow0(Constant(set.FLow[0])),
        FSpan0(Constant(set.FSpan[0])),
        FLow1(Constant(set.FLow[1])),
        FSpan1(Constant(set.FSpan[1])),
        FLow2(Constant(set.FLow[2])),
        FSpan2(Constant(set.FSpan[2])),
        FEx0(Constant(set.FExcluded[0])),
        FEx1(Constant(set.FExcluded[1])),
        FEx2(Constant(set.FExcluded[2])) {}

  // A bit for each of the 16 bytes that the set does not accept.
  uint32_t Stops(__m128i x) const {
    const __m128i in =
        _mm_or_si128(_mm_or_si128(InRange(x, FLow0, FSpan0), InRange(x, FLow1, FSpan1)),
                     InRange(x, FLow2, FSpan2));
    const __m128i excluded = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(x, FEx0), _mm_cmpeq_epi8(x, FEx1)), _mm_cmpeq_epi8(x, FEx2));
    return ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_andnot_si128(excluded, in))) & 0xFFFF;
  }
  // A bit for each line feed of the first taken bytes.
  static uint32_t LineFeeds(__m128i x, int taken) {
    const auto all =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))));
    return all & ((1u << taken) - 1);
  }

 private:
  static __m128i Constant(const uint8_t (&bytes)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
  }
  static __m128i InRange(__m128i x, __m128i low, __m128i span) {
    const __m128i offset = _mm_sub_epi8(x, low);
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, span), offset);
  }

  const __m128i FLow0, FSpan0, FLow1, FSpan1, FLow2, FSpan2, FEx0, FEx1, FEx2;
};
#endif

TInputBuffer::TRunSet::TRunSet(const TAsciiSet& accept, bool otherCharacters)
    : FAccept(accept), FOtherCharacters(otherCharacters) {
  // Runs of accepted bytes become ranges; a single byte missing between two
  // runs joins them as one range less that byte.
  std::array<bool, 129> in{};  // in[128] stays false and ends the last run
  for (int b = 0; b < 128; ++b) {
    in[b] = accept[b] && IsAsciiRunByte(b);
    FPlain[b] = in[b] && b != '\n';
  }
  int low[kRanges] = {};
  int high[kRanges] = {};
  int excluded[kExcluded] = {};
  int ranges = 0;
  int exclusions = 0;
  bool fits = true;
  for (int b = 0; b < 128 && fits;) {
    if (!in[b]) {
      ++b;
      continue;
    }
    int end = b;
    while (in[end]) ++end;
    if (ranges > 0 && high[ranges - 1] + 2 == b && exclusions < kExcluded) {
      excluded[exclusions++] = b - 1;
      high[ranges - 1] = end - 1;
    } else if (ranges < kRanges) {
      low[ranges] = b;
      high[ranges++] = end - 1;
    } else {
      fits = false;
    }
    b = end;
  }
  FVector = fits && ranges > 0;
  for (int r = 0; r < kRanges; ++r) {
    const int from = r < ranges ? r : 0;
    std::memset(FLow[r], low[from], 16);
    std::memset(FSpan[r], high[from] - low[from], 16);
  }
  // 0x80 is never in a set, so excluding it changes nothing.
  for (int e = 0; e < kExcluded; ++e)
    std::memset(FExcluded[e], e < exclusions ? excluded[e] : 0x80, 16);
}

int TInputBuffer::ReadAsciiRun(TLexemeText& out, const TRunSet& accept) {
  if (FMode == TMode::kTwoByte || FPendingLow != 0) return 0;
  const int32_t line = FLine;
#if defined(__SSE2__)
  if (FAsciiRuns && accept.FVector) {
    // 16 bytes at a time, each 16 widened straight into the room behind the
    // text, of which only the bytes of the run are then counted. The loads
    // may run past the data into the padding after the blocks, whose bytes
    // are masked off.
    const TRunVector set(accept);
    const __m128i zero = _mm_setzero_si128();
    const uint8_t* const data = FData.get();
    for (;;) {
      const __m128i x = Load16(data + FPos);
      uint32_t stop = set.Stops(x);
      if (FLimit - FPos < 16) stop |= ~0u << (FLimit - FPos);
      const int taken = stop != 0 ? __builtin_ctz(stop) : 16;
      char16_t* const to = out.Room(16);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(x, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(x, zero));
      out.Commit(static_cast<size_t>(taken));
      // Only the line feeds need marks: the other bytes are whole characters.
      const int64_t chars = FChars;
      for (uint32_t lineFeeds = TRunVector::LineFeeds(x, taken); lineFeeds != 0;
           lineFeeds &= lineFeeds - 1) {
        const int offset = __builtin_ctz(lineFeeds);
        FMarks[FPos + offset] = kLineEnd;
        FChars = chars + offset;
        NewLine();
      }
      FChars = chars + taken;
      FPos += taken;
      if (stop == 0) continue;
      if (!accept.FOtherCharacters) break;
      const char16_t c = TakeUtf8Pair();
      if (c == 0) break;
      out.push_back(c);
    }
    return FLine - line;
  }
#endif
  for (;;) {
    const uint8_t* const from = FData.get() + FPos;
    const size_t count = TakeRun(accept);
    char16_t* const to = out.Room(count);
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
    out.Commit(count);
    if (!accept.FOtherCharacters) break;
    const char16_t c = TakeUtf8Pair();
    if (c == 0) break;
    out.push_back(c);
  }
  return FLine - line;
}

size_t TInputBuffer::TakeRun(const TRunSet& accept) {
  if (FMode == TMode::kTwoByte || FPendingLow != 0) return 0;
  const uint8_t* const begin = FData.get() + FPos;
  const uint8_t* const end = FData.get() + FLimit;
  const uint8_t* p = begin;
  const int64_t chars = FChars;
  // Only the line feeds need marks: the other bytes are whole characters.
  TMark* const marks = FMarks.get() + FPos;
  const auto lineFeedAt = [&](int64_t offset) {
    marks[offset] = kLineEnd;
    FChars = chars + offset;
    NewLine();
  };
  // The vector form of the scan is ReadAsciiRun's; this one serves the
  // sets and encodings it does not take.
  for (const bool* const safe = FRunByte.data(); p < end && safe[*p] && accept.Accepts(*p); ++p) {
    if (*p == '\n') lineFeedAt(p - begin);
  }
  FChars = chars + (p - begin);
  FPos += static_cast<int32_t>(p - begin);
  return static_cast<size_t>(p - begin);
}

void TInputBuffer::UpdateMode() {
  FFast.fill(0);
  FRunByte.fill(false);
  FAsciiRuns = false;
  if (FTwoByte) {
    FMode = TMode::kTwoByte;
    return;
  }
  FMode = FEncoding == UTF_8 ? TMode::kUtf8 : TMode::kSingleByte;
  FRow = RowOf(FEncoding);
  for (int b = 0; b < 256; ++b) {
    const char16_t c = FMode == TMode::kUtf8 ? (b < 0x80 ? static_cast<char16_t>(b) : 0) : FRow[b];
    if (c == 0 || !IsChar(c)) continue;
    if (c > u'\r' || c == u'\t') FFast[b] = c;
    FRunByte[b] = c == b && b < 0x80 && c != u'\r';
  }
  FAsciiRuns = true;
  for (int b = 0; b < 0x80; ++b) FAsciiRuns = FAsciiRuns && FRunByte[b] == IsAsciiRunByte(b);
}

int TInputBuffer::RawGetSlow() {
  // Only a full block is followed by more data; a short one ends it.
  if (FPastEnd > 0 || FLength[FCurrent] < FBlockSize) {
    ++FPastEnd;
    return -1;
  }
  const int next = 1 - FCurrent;
  if (FRefill)
    FillBlock(next);
  else
    FRefill = true;
  FBehindValid = true;
  FCurrent = next;
  FPos = next * FBlockSize;
  FLimit = FPos + FLength[next];
  if (FPos < FLimit) return FData[FPos++];
  ++FPastEnd;
  return -1;
}

void TInputBuffer::RawUnGet() {
  if (FPastEnd > 0) {
    --FPastEnd;
  } else if (FPos > FCurrent * FBlockSize) {
    --FPos;
  } else if (FBehindValid) {
    // Back into the previous block, which stays valid: the next forward
    // crossing must not read over it.
    FCurrent = 1 - FCurrent;
    FLimit = FCurrent * FBlockSize + FLength[FCurrent];
    FPos = FLimit - 1;
    FRefill = false;
    FBehindValid = false;
  }
  // Otherwise this is the first byte there is: nothing lies before it.
}

char16_t TInputBuffer::GetCharSlow() {
  if (FPendingLow != 0) {
    const char16_t low = FPendingLow;
    FPendingLow = 0;
    return low;
  }
  if (FMode == TMode::kTwoByte) return GetTwoByteSlow();
  const int b = RawGet();
  if (b < 0) return 0;
  const int32_t slot = FPos - 1;
  if (b == '\r' || b == '\n') return LineEnd(b, slot);
  if (b >= 0x80 && FMode == TMode::kUtf8) return GetUtf8Slow(b, slot);
  // Every other byte that reaches here stands for a character or is illegal.
  const char16_t c = FRow[b];
  if (c == 0 && b >= 0x80)
    RaiseIllegal(Format("Byte 0x%0.2x is not %s; is the document in another encoding?", b,
                        EncodingToString(FEncoding == n_sup ? US_ASCII : FEncoding)));
  if (!IsChar(c)) RaiseIllegalChar(c == 0 ? static_cast<uint32_t>(b) : c);
  FMarks[slot] = kCharStart;
  ++FChars;
  return c;
}

char16_t TInputBuffer::LineEnd(int unit, int32_t slot) {
  FMarks[slot] = kLineEnd;
  if (unit == '\r') {
    if (!FNormalizeLineEnds) {
      FMarks[slot] = kCharStart;
      ++FChars;
      return u'\r';
    }
    // Carriage return and line feed are one line end; the feed is taken
    // along as a continuation of the return.
    int32_t next = 0;
    if (ReadUnit(next) == '\n')
      FMarks[next] = kContinuation;
    else
      UnReadUnit();
  }
  NewLine();
  return u'\n';
}

int TInputBuffer::ReadUnit(int32_t& slot) {
  const int b1 = RawGet();
  slot = FPos - 1;
  if (FMode != TMode::kTwoByte) return b1;
  const int b2 = RawGet();
  if (b1 < 0 || b2 < 0) return -1;
  return FByteOrder == boBigEndian ? b1 << 8 | b2 : b2 << 8 | b1;
}

void TInputBuffer::UnReadUnit() {
  RawUnGet();
  if (FMode == TMode::kTwoByte) RawUnGet();
}

char16_t TInputBuffer::GetTwoByteSlow() {
  // Two raw reads always, so that UnGetChar can take back two.
  const int b1 = RawGet();
  const int32_t slot = FPos - 1;
  const int b2 = RawGet();
  if (b1 < 0) return 0;
  if (b2 < 0) {
    RawUnGet();
    RawUnGet();
    RaiseIllegal("The data ends within a UTF-16 character (an odd number of bytes).");
  }
  const auto c = FByteOrder == boBigEndian ? static_cast<char16_t>(b1 << 8 | b2)
                                           : static_cast<char16_t>(b2 << 8 | b1);
  if (c == u'\r' || c == u'\n') return LineEnd(c, slot);
  if (IsHighSurrogate(c)) {
    // A pair is checked and taken whole; the low half follows on its own.
    int32_t lowSlot = 0;
    const int low = ReadUnit(lowSlot);
    if (low < 0 || !IsLowSurrogate(static_cast<char16_t>(low))) {
      UnReadUnit();
      UnReadUnit();
      RaiseIllegalChar(c);
    }
    FMarks[slot] = kPairStart;
    FMarks[lowSlot] = kLowHalf;
    FPendingLow = static_cast<char16_t>(low);
    ++FChars;
    return c;
  }
  if (!IsChar(c)) {
    UnReadUnit();
    RaiseIllegalChar(c);
  }
  FMarks[slot] = kCharStart;
  ++FChars;
  return c;
}

char16_t TInputBuffer::GetUtf8Slow(int lead, int32_t leadSlot) {
  // A well-formed sequence of two or three bytes, whole in the block: most
  // of the text beyond ASCII, decoded in place. Anything else, and what is
  // no character, takes the checks below.
  if (lead >= 0xC2 && lead < 0xF0 && FPos + (lead >= 0xE0 ? 2 : 1) <= FLimit) {
    const uint8_t* const next = FData.get() + FPos;
    uint32_t cp = 0;
    int length = 0;
    if (lead < 0xE0) {
      if ((next[0] & 0xC0) == 0x80) {
        cp = (static_cast<uint32_t>(lead) & 0x1F) << 6 | (next[0] & 0x3F);
        length = 2;
      }
    } else if ((next[0] & 0xC0) == 0x80 && (next[1] & 0xC0) == 0x80) {
      cp = (static_cast<uint32_t>(lead) & 0x0F) << 12 | (next[0] & 0x3F) << 6 | (next[1] & 0x3F);
      if (cp >= 0x800) length = 3;
    }
    if (length > 0 && IsChar(static_cast<char16_t>(cp))) {
      FMarks[leadSlot] = kCharStart;
      for (int i = 1; i < length; ++i) FMarks[FPos++] = kContinuation;
      ++FChars;
      return static_cast<char16_t>(cp);
    }
  }
  const int length = lead >= 0xC2 && lead <= 0xF4 ? MBSequenceLength(static_cast<char>(lead)) : 1;
  char bytes[4] = {static_cast<char>(lead), 0, 0, 0};
  int got = 1;
  int reads = 0;  // after the lead, a read past the end included
  while (got < length) {
    const int b = RawGet();
    ++reads;
    if (b < 0) break;
    FMarks[FPos - 1] = kContinuation;
    bytes[got++] = static_cast<char>(b);
    if ((b & 0xC0) != 0x80) break;
  }
  uint32_t cp = 0;
  const std::string_view sequence(bytes, static_cast<size_t>(got));
  if (got < length || DecodeUtf8Strict(sequence, cp) != sequence.size()) {
    for (int i = 0; i <= reads; ++i) RawUnGet();
    RaiseIllegal(Format("Byte 0x%0.2x is not UTF-8; is the document in another encoding?", lead));
  }
  if (cp < 0x10000 && !IsChar(static_cast<char16_t>(cp))) {
    for (int i = 0; i <= reads; ++i) RawUnGet();
    RaiseIllegalChar(cp);
  }
  FMarks[leadSlot] = kCharStart;
  ++FChars;
  if (cp < 0x10000) return static_cast<char16_t>(cp);
  // Stepping back from behind the pair lands on this mark (see UnGetChar).
  FMarks[leadSlot] = kPairStart;
  FPendingLow = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  return static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
}

void TInputBuffer::RaiseIllegal(const std::string& message) const {
  throw EKaOrvaneError::CreateAt(message, FFileName, FLine, GetColumn());
}

void TInputBuffer::RaiseIllegalChar(uint32_t c) const {
  RaiseIllegal(Format("Illegal character U+%0.4x.", c));
}

void TInputBuffer::Uncount(TMark mark) {
  --FChars;
  if (mark == kLineEnd) {
    --FLine;
    FLineStart = FLineStarts[--FLineHistory % kLineHistory];
  }
}

void TInputBuffer::UnGetCharSlow() {
  if (FPendingLow != 0) {
    // The high half was delivered last: back to the start of its pair.
    FPendingLow = 0;
    for (int i = 0; i < 4; ++i) RawUnGet();
    --FChars;
    return;
  }
  if (FPastEnd > 0) {
    // Reads past the end count nothing; in two-byte input each took two.
    RawUnGet();
    if (FMode == TMode::kTwoByte) RawUnGet();
    return;
  }
  if (FMode == TMode::kTwoByte) {
    UnReadUnit();
    // The line feed of a carriage return and line feed: back to the return.
    if (FMarks[FPos] == kContinuation) UnReadUnit();
    if (FMarks[FPos] == kLowHalf) {
      // The low half was delivered last: only it is taken back.
      int32_t slot = 0;
      FPendingLow = static_cast<char16_t>(ReadUnit(slot));
      return;
    }
    Uncount(FMarks[FPos]);
    return;
  }
  RawUnGet();
  if (IsWholeByte(FData[FPos])) {
    --FChars;
    return;
  }
  // A character takes at most four bytes; the bound keeps a stale mark (a
  // push-back beyond what was read) from walking far.
  for (int i = 0; i < 3 && FMarks[FPos] == kContinuation; ++i) RawUnGet();
  if (FMarks[FPos] == kPairStart) {
    // The low half was delivered last: only it is taken back.
    char bytes[4];
    for (char& b : bytes) b = static_cast<char>(RawGet());
    uint32_t cp = 0;
    DecodeUtf8Strict(std::string_view(bytes, 4), cp);
    FPendingLow = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    return;
  }
  Uncount(FMarks[FPos]);
}

std::u16string TInputBuffer::GetChars(int n) {
  std::u16string chars;
  chars.reserve(n > 0 ? static_cast<size_t>(n) : 0);
  for (int i = 0; i < n; ++i) chars.push_back(GetChar());
  return chars;
}

}  // namespace lumora
