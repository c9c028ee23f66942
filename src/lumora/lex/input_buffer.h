// Turns a byte stream into UTF-16 code units for the lexical analyzers.
//
// The stream is read in large blocks into a ring of two blocks, so that a
// scanner can push characters back cheaply, also across a block boundary:
// everything read of the current block and the whole of the previous block
// can be pushed back. The data ends where its bytes end; GetChar then gives
// the character 0, which the data itself never delivers.
//
// Every character delivered is an XML character: a byte or sequence that
// decodes to anything else (a NUL, a control other than tab and line ends,
// U+FFFE, U+FFFF, a surrogate that is not half of a well-ordered pair),
// bytes that are not UTF-8 in UTF-8 input, a byte without a character in an
// 8-bit encoding and an odd byte at the end of UTF-16 input raise
// EKaOrvaneError at the character's line and column. A carriage return,
// alone or followed by a line feed, is delivered as one line feed. A
// character above U+FFFF is delivered as its two surrogates. Every
// character can be pushed back whole, whatever number of bytes it took, and
// reads past the end give 0 and can be pushed back like any other.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "lumora/framework/object.h"
#include "lumora/framework/stream.h"
#include "lumora/lex/lexeme_text.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/code_pages.h"

namespace lumora {

class TInputBuffer : public TObject {
 public:
  // Bytes per block: each stream read asks for this many.
  static constexpr int32_t kBlockSize = 102401;

  // An empty buffer: GetChar gives 0 until Init. A smaller block size than
  // the default only serves to exercise the block boundaries.
  explicit TInputBuffer(int32_t blockSize = kBlockSize);
  ~TInputBuffer() override;

  // A buffer reading stream, which the caller keeps alive while it reads.
  static std::unique_ptr<TInputBuffer> CreateFromStream(TStream& stream);
  // A buffer reading the named file, which it keeps open until destroyed.
  // Raises EFCreateError when the file cannot be opened.
  static std::unique_ptr<TInputBuffer> CreateFromFile(const std::string& fileName);

  // Starts reading stream from its first byte. A UTF-16 byte-order mark
  // selects two-byte input in its byte order, the UTF-8 mark UTF-8 (the
  // mark is skipped); data that starts with "<?" in UTF-16 is two-byte
  // input in that order without a mark. Otherwise the encoding becomes
  // US_ASCII. The caller keeps stream alive.
  void Init(TStream& stream);
  // The same, with the buffer owning the stream until the next Init.
  void Init(std::unique_ptr<TStream> stream);
  // Starts reading an external DTD or entity, whose text declaration is
  // optional: as Init, but UTF-16 without a mark is also recognised by a
  // first "<" alone, an encoding that iconv converts is read through it when
  // the text declaration names one, and text in none of these is UTF-8.
  // fileName names the resource in errors.
  void InitExternal(TStream& stream, const std::string& fileName);

  inline char16_t GetChar();
  // The character GetChar would deliver next when it is a byte below 0x80
  // other than a line end, standing for itself and read without any further
  // check; else 0. Reads nothing: a scanner looks at where a run stopped.
  char16_t PeekAscii() const {
    if (FPos >= FLimit || FPendingLow != 0 || FMode == TMode::kTwoByte) return 0;
    const uint8_t b = FData[FPos];
    return b < 0x80 && FFast[b] == b ? b : 0;
  }
  // Pushes back the last character GetChar delivered.
  inline void UnGetChar();
  // n characters joined, zeros included (a look-ahead that may run past the end).
  std::u16string GetChars(int n);
  void UnGetChars(int n) {
    for (int i = 0; i < n; ++i) UnGetChar();
  }
  // The last character delivered, again; the position stays where it was.
  char16_t GetPrevChar() {
    UnGetChar();
    return GetChar();
  }

  // Which ASCII characters a run may hold (see ReadAsciiRun).
  using TAsciiSet = std::array<bool, 128>;
  // A set prepared for bulk reading: besides the table, the bytes it
  // accepts of those that stand for themselves in ASCII-based encodings
  // (tab, line feed, 0x20..0x7F) as a few ranges less a few single bytes,
  // which a run tests 16 bytes at a time. Sets that need more fall back to
  // the table. Build it once (a static) for sets used often.
  class TRunSet {
   public:
    // otherCharacters: a run of the lexeme-text form of ReadAsciiRun also
    // takes the characters beyond ASCII that UTF-8 input holds in two or
    // three bytes (for texts that end only at ASCII characters).
    TRunSet(const TAsciiSet& accept,  // NOLINT: implicit, for occasional sets
            bool otherCharacters = false);
    bool Accepts(uint8_t b) const { return b < 128 && FAccept[b]; }

   private:
    friend class TInputBuffer;
    friend struct TRunVector;  // the set's vector form, in input_buffer.cpp
    static constexpr int kRanges = 3;
    static constexpr int kExcluded = 3;
    TAsciiSet FAccept;
    // Per byte, for encodings whose run bytes are the ASCII ones: accepted,
    // and not a line feed (which needs counting).
    std::array<bool, 256> FPlain{};
    bool FVector = false;
    bool FOtherCharacters = false;
    // Each byte repeated 16 times: a byte is in when, for some range,
    // byte - low <= span (unsigned), and it is none of the excluded ones.
    // Unused entries repeat a used range or exclude a byte outside the set.
    alignas(16) uint8_t FLow[kRanges][16];
    alignas(16) uint8_t FSpan[kRanges][16];
    alignas(16) uint8_t FExcluded[kExcluded][16];
  };
  // Reads on in bulk: appends to out the characters that follow as long as
  // they are ASCII, in accept, and stand for themselves in the encoding (up
  // to the end of the current block at most), exactly as if each had been
  // read with GetChar. Returns how many of them are line feeds. Reads
  // nothing in two-byte input. For a set made with otherCharacters the run
  // goes on across the characters beyond ASCII that take two or three bytes
  // of UTF-8 and are whole in the block.
  int ReadAsciiRun(TLexemeText& out, const TRunSet& accept);
  // ReadAsciiRun for the many runs of a few bytes (names, values, the
  // blanks between tags): their first bytes are taken here, one at a time,
  // and only a run that goes on is handed to ReadAsciiRun.
  inline int ReadRun(TLexemeText& out, const TRunSet& accept);

  // Takes effect at the next GetChar; does not change two-byte input.
  void SetEncoding(TEncoding encoding);
  // The encoding the document declares: raises EKaOrvaneError when it
  // contradicts what the first bytes said (a UTF-8 or UTF-16 mark, or the
  // layout of UTF-16), else takes effect like SetEncoding. Transcoded input
  // accepts any declaration.
  void DeclareEncoding(const std::string& name);
  // The stream delivers UTF-16 made by a transcoder from the encoding the
  // document declares.
  void SetTranscoded(bool transcoded) { FTranscoded = transcoded; }
  bool IsTranscoded() const { return FTranscoded; }
  TEncoding GetEncoding() const { return FEncoding; }
  bool IsTwoByte() const { return FTwoByte; }
  // Two-byte input that began with its byte-order mark.
  bool HasUtf16Mark() const { return FUtf16Mark; }
  // The data starts with the UTF-8 byte-order mark (skipped; the encoding is UTF-8).
  bool HasUtf8Mark() const { return FUtf8Mark; }
  TByteOrder GetByteOrder() const { return FByteOrder; }

  // The position of the next character GetChar delivers: line and column
  // count from 1, the column in characters (a surrogate pair is one, a tab
  // is one). Exact under push-back of up to kLineHistory line ends; between
  // the two halves of a pair the column is that of the character after it.
  int32_t GetLine() const { return FLine; }
  int32_t GetColumn() const { return ColumnAt(GetLineOffset()); }
  // The characters the line holds before the position, unchecked: what a
  // lexer keeps for every token, turned into a column only when one is asked.
  int64_t GetLineOffset() const { return FChars - FLineStart; }
  static int32_t ColumnAt(int64_t lineOffset) {
    // Only a push-back beyond the remembered line ends leaves it unknown.
    if (lineOffset < 0) return 1;
    return lineOffset >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(lineOffset + 1);
  }

  // Whether a carriage return, alone or before a line feed, is delivered as
  // one line feed (the default). Text that was read once already, such as
  // an entity's replacement text, keeps its returns: they came from
  // character references. Kept across Init.
  void SetNormalizeLineEnds(bool normalize) { FNormalizeLineEnds = normalize; }

  void SetFileName(const std::string& fileName) { FFileName = fileName; }
  const std::string& GetFileName() const { return FFileName; }

 private:
  enum class TMode : uint8_t { kSingleByte, kUtf8, kTwoByte };
  // Marks kept per ring slot, so that UnGetChar knows where the character
  // before the position starts (UTF-8 characters take one to four bytes, a
  // carriage return and line feed are one) and what it counted: a line end
  // starts a line, a low half in two-byte input is no character of its own.
  // A type of its own rather than a byte: stores of marks then cannot alias
  // the buffer's other members, which stay in registers.
  // Outside two-byte input a byte below 0x80 other than a line end is a
  // whole character by itself: its mark is never read, and bulk runs write
  // none (see IsWholeByte).
  enum TMark : uint8_t { kContinuation = 0, kCharStart, kPairStart, kLineEnd, kLowHalf };
  static bool IsWholeByte(uint8_t b) { return b < 0x80 && b != '\r' && b != '\n'; }
  // Line starts remembered for pushing back line ends.
  static constexpr uint32_t kLineHistory = 16;

  // Takes the run ReadAsciiRun reads, counting its characters and lines;
  // returns its length in bytes, which end at the position.
  size_t TakeRun(const TRunSet& accept);
  // The character of two or three bytes of UTF-8 at the position, taken
  // when it is whole in the block, well formed and a character; else 0.
  inline char16_t TakeUtf8Pair();
  // Next raw byte, or -1 past the end of the data.
  inline int RawGet();
  int RawGetSlow();
  void RawUnGet();
  void FillBlock(int block);
  void UpdateMode();
  char16_t GetCharSlow();
  void UnGetCharSlow();
  char16_t GetTwoByteSlow();
  char16_t GetUtf8Slow(int lead, int32_t leadSlot);
  // Delivers a line end whose first unit (CR or LF) sits at slot.
  char16_t LineEnd(int unit, int32_t slot);
  // One code unit of the current mode, raw, its first byte at slot; -1
  // past the end.
  int ReadUnit(int32_t& slot);
  void UnReadUnit();
  [[noreturn]] void RaiseIllegal(const std::string& message) const;
  [[noreturn]] void RaiseIllegalChar(uint32_t c) const;
  // Counts a delivered line end: the next character starts a line.
  void NewLine() {
    FLineStarts[FLineHistory++ % kLineHistory] = FLineStart;
    FLineStart = ++FChars;
    ++FLine;
  }
  // Takes back the count of the character whose first slot has mark.
  void Uncount(TMark mark);

  TEncoding FEncoding = US_ASCII;
  bool FTwoByte = false;
  bool FUtf8Mark = false;
  bool FUtf16Mark = false;
  bool FTranscoded = false;
  bool FNormalizeLineEnds = true;
  TByteOrder FByteOrder = boLittleEndian;
  TMode FMode = TMode::kSingleByte;
  std::string FFileName;
  TStream* FStream = nullptr;
  std::unique_ptr<TStream> FOwnedStream;

  const int32_t FBlockSize;
  std::unique_ptr<uint8_t[]> FData;  // two blocks, one after the other
  std::unique_ptr<TMark[]> FMarks;   // one mark per slot of FData
  int32_t FLength[2] = {0, 0};       // data bytes held by each block
  int FCurrent = 0;                  // the block read now
  int32_t FPos = 0;                  // slot of the next byte
  int32_t FLimit = 0;                // end of the data of the current block
  int32_t FPastEnd = 0;              // reads past the end not pushed back yet
  // True: entering the other block forward reads the next block into it.
  // False: it still holds the data the position was pushed back from.
  bool FRefill = true;
  // The other block holds the data before the current block.
  bool FBehindValid = false;
  // Low half of a surrogate pair whose high half was delivered last.
  char16_t FPendingLow = 0;
  const char16_t* FRow;  // code table of the 8-bit encoding
  // Per byte in 8-bit and UTF-8 input: the character a byte stands for when
  // it needs no further work (a one-byte character other than a line end or
  // a control), else 0.
  std::array<char16_t, 256> FFast{};
  // Per byte: it may be part of a bulk run (ASCII standing for itself, an
  // XML character, not a carriage return).
  std::array<bool, 256> FRunByte{};
  // The run bytes are exactly tab, line feed and 0x20..0x7F, as the
  // prepared sets of TRunSet assume.
  bool FAsciiRuns = false;

  // Positions: FChars characters delivered so far, the current line
  // starting after FLineStart of them.
  int32_t FLine = 1;
  int64_t FChars = 0;
  int64_t FLineStart = 0;
  uint32_t FLineHistory = 0;
  std::array<int64_t, kLineHistory> FLineStarts{};
};

inline int TInputBuffer::RawGet() {
  if (FPos < FLimit) return FData[FPos++];
  return RawGetSlow();
}

inline char16_t TInputBuffer::TakeUtf8Pair() {
  if (FMode != TMode::kUtf8 || FPendingLow != 0 || FPos + 1 >= FLimit) return 0;
  const uint8_t* const at = FData.get() + FPos;
  const uint8_t lead = at[0];
  if (lead < 0xC2 || lead >= 0xF0 || (at[1] & 0xC0) != 0x80) return 0;
  char16_t c;
  int32_t length;
  if (lead < 0xE0) {
    c = static_cast<char16_t>((lead & 0x1F) << 6 | (at[1] & 0x3F));
    if (!IsChar(c)) return 0;
    length = 2;
  } else {
    if (FPos + 2 >= FLimit || (at[2] & 0xC0) != 0x80) return 0;
    c = static_cast<char16_t>((lead & 0x0F) << 12 | (at[1] & 0x3F) << 6 | (at[2] & 0x3F));
    // Overlong forms and what is no character (surrogates, U+FFFE, U+FFFF)
    // are left to GetChar, which reports them.
    if (c < 0x800 || !IsChar(c)) return 0;
    length = 3;
    FMarks[FPos + 2] = kContinuation;
  }
  FMarks[FPos] = kCharStart;
  FMarks[FPos + 1] = kContinuation;
  FPos += length;
  ++FChars;
  return c;
}

inline int TInputBuffer::ReadRun(TLexemeText& out, const TRunSet& accept) {
  // Bulk runs in ASCII-based input only: not in two-byte input, nor between
  // the halves of a pair.
  if (FAsciiRuns && FPendingLow == 0) {
    constexpr int32_t kShort = 16;
    const uint8_t* const from = FData.get() + FPos;
    const int32_t available = FLimit - FPos < kShort ? FLimit - FPos : kShort;
    char16_t* const to = out.Room(kShort);
    int32_t n = 0;
    for (; n < available && accept.FPlain[from[n]]; ++n) to[n] = from[n];
    out.Commit(static_cast<size_t>(n));
    FPos += n;
    FChars += n;
    // Stopped by a byte that ends the run for good: neither a line feed
    // nor, in a set that takes them, a character beyond ASCII.
    if (n < available && from[n] != '\n' && !(accept.FOtherCharacters && from[n] >= 0x80)) return 0;
  }
  return ReadAsciiRun(out, accept);
}

inline char16_t TInputBuffer::GetChar() {
  if (FPos < FLimit && FPendingLow == 0) {
    const uint8_t b = FData[FPos];
    if (FMode != TMode::kTwoByte) {
      if (const char16_t c = FFast[b]) {
        FMarks[FPos++] = kCharStart;
        ++FChars;
        return c;
      }
      // A line feed ends a line, whether carriage returns are kept or not.
      if (b == '\n') {
        FMarks[FPos++] = kLineEnd;
        NewLine();
        return u'\n';
      }
    } else if (FPos + 1 < FLimit) {
      const uint8_t b2 = FData[FPos + 1];
      const auto c = FByteOrder == boBigEndian ? static_cast<char16_t>(b << 8 | b2)
                                               : static_cast<char16_t>(b2 << 8 | b);
      // U+0020..U+D7FF are characters and stand alone; tab, line ends,
      // surrogates and the rest take the slow path.
      if (static_cast<uint16_t>(c - 0x20) < 0xD800 - 0x20) {
        FMarks[FPos] = kCharStart;
        FPos += 2;
        ++FChars;
        return c;
      }
    }
  }
  return GetCharSlow();
}

inline void TInputBuffer::UnGetChar() {
  // The common case: a one-byte character of the current block that began
  // no line.
  if (FPendingLow == 0 && FPastEnd == 0 && FMode != TMode::kTwoByte &&
      FPos > FCurrent * FBlockSize &&
      (IsWholeByte(FData[FPos - 1]) || FMarks[FPos - 1] == kCharStart)) {
    --FPos;
    --FChars;
    return;
  }
  UnGetCharSlow();
}

}  // namespace lumora
