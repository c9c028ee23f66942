// The write's output buffer: text written in pieces, through a buffer of any
// size, comes out as the whole text converted at once would, with the same
// characters reported; a target that refuses bytes fails the write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora/framework/stream.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/encoded_output.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/conversions.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// Keeps what it is given and how, and takes at most Limit bytes in all.
class TRecordingStream : public TStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t taken = std::min<int64_t>(count, Limit - static_cast<int64_t>(Bytes.size()));
    Bytes.append(static_cast<const char*>(buffer), static_cast<size_t>(taken));
    Writes.push_back(count);
    return taken;
  }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Seek(int64_t, TSeekOrigin) override { return -1; }
  void SetSize(int64_t) override {}

  std::string Bytes;
  std::vector<int64_t> Writes;
  int64_t Limit = INT64_MAX;
};

struct TWritten {
  std::string Bytes;
  std::u16string Lost;
};

// Writes text in pieces of the given sizes (the rest in one), through a
// buffer of bufferSize bytes.
TWritten WriteInPieces(std::u16string_view text, TEncoding encoding, TByteOrder order,
                       size_t bufferSize, size_t piece) {
  invChars().Clear();
  TRecordingStream target;
  TEncodedOutput out(target, encoding, order, bufferSize);
  while (!text.empty()) {
    const size_t n = std::min(piece, text.size());
    out.WriteText(text.substr(0, n));
    text.remove_prefix(n);
  }
  out.Finish();
  for (int64_t count : target.Writes) EXPECT_LE(count, std::max<int64_t>(bufferSize, 16));
  return {target.Bytes, invChars().DataString()};
}

TWritten ConvertedWhole(std::u16string_view text, TEncoding encoding, TByteOrder order) {
  invChars().Clear();
  std::string bytes = UnicodeToShort(text, encoding, order);
  return {bytes, invChars().DataString()};
}

// ASCII, Latin-1, a dash, CJK and a character above U+FFFF (a surrogate
// pair), repeated so that every piece and buffer size splits each of them
// somewhere.
const std::u16string kMixed = [] {
  std::u16string text;
  for (int i = 0; i < 40; ++i) text += u"caf\u00E9 \u2014 \u4E2D\U0001F600<x a=\"1\"/>\r\n";
  return text;
}();

TEST(EncodedOutput, PiecesAndBufferSizesDoNotChangeTheBytes) {
  struct Encoding {
    TEncoding Code;
    TByteOrder Order;
  };
  std::vector<Encoding> encodings = {{UTF_8, boLittleEndian},   {UTF_16, boLittleEndian},
                                     {UTF_16, boBigEndian},     {i8859_1, boLittleEndian},
                                     {US_ASCII, boLittleEndian}};
  for (const char* name : {"windows-1252", "Shift_JIS", "ISO-2022-JP", "GB18030"})
    encodings.push_back({LookUpEncodingName(name), boLittleEndian});
  for (const Encoding& e : encodings) {
    ASSERT_NE(e.Code, n_sup);
    const TWritten whole = ConvertedWhole(kMixed, e.Code, e.Order);
    for (size_t bufferSize : {size_t{0}, size_t{17}, size_t{1000}, TEncodedOutput::kBufferSize}) {
      for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{40}, kMixed.size()}) {
        const TWritten written = WriteInPieces(kMixed, e.Code, e.Order, bufferSize, piece);
        EXPECT_EQ(written.Bytes, whole.Bytes)
            << cps[e.Code < kEncodingCount ? e.Code : 0] << " " << e.Code << " buffer "
            << bufferSize << " piece " << piece;
        EXPECT_EQ(written.Lost, whole.Lost) << e.Code;
      }
    }
  }
}

TEST(EncodedOutput, OutputLargerThanTheBufferGoesOutInBufferSizedWrites) {
  std::u16string text;
  while (text.size() < 3 * TEncodedOutput::kBufferSize) text += u"<item>\u00E9l\u00E9ment</item>";
  TRecordingStream target;
  TEncodedOutput out(target, UTF_8);
  out.WriteText(text);
  EXPECT_FALSE(target.Writes.empty()) << "a full buffer goes out before the end";
  out.Finish();
  EXPECT_EQ(target.Bytes, WideToSystem(text));
  EXPECT_GE(target.Writes.size(), 4u);
  for (int64_t count : target.Writes)
    EXPECT_LE(count, static_cast<int64_t>(TEncodedOutput::kBufferSize));
}

// What WriteWide hands over is bytes, low byte first: a unit or a pair may
// arrive in halves.
TEST(EncodedOutput, UnitsAndPairsSplitBetweenWritesAreJoined) {
  const std::u16string text = u"a\u00E9\U0001F600\u4E2Dz";
  std::string bytes;
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  for (TEncoding encoding : {UTF_8, UTF_16}) {
    for (size_t piece = 1; piece <= 3; ++piece) {
      TRecordingStream target;
      TEncodedOutput out(target, encoding, boLittleEndian, 16);
      for (size_t i = 0; i < bytes.size(); i += piece) {
        const std::string part = bytes.substr(i, piece);
        EXPECT_EQ(out.Write(part.data(), static_cast<int64_t>(part.size())),
                  static_cast<int64_t>(part.size()));
      }
      out.Finish();
      EXPECT_EQ(target.Bytes, UnicodeToShort(text, encoding, boLittleEndian))
          << encoding << " piece " << piece;
    }
  }
  // A high surrogate with no partner, at the end or before another
  // character, is written alone (UTF-8 has a form for it, Latin-1 none).
  EXPECT_EQ(WriteInPieces(u"a\xD83D", UTF_8, boLittleEndian, 16, 1).Bytes, "a\xED\xA0\xBD");
  EXPECT_EQ(WriteInPieces(u"\xD83D" u"b", UTF_8, boLittleEndian, 16, 1).Bytes, "\xED\xA0\xBD" "b");
  const TWritten latin = WriteInPieces(u"\xD83D" u"b", i8859_1, boLittleEndian, 16, 1);
  EXPECT_EQ(latin.Bytes, "_b");
  EXPECT_EQ(latin.Lost, u"\xD83D");
}

// U+0000 is in no encoding of a document: '_', reported, and a stateful
// encoding is back in its initial state on both sides of it.
TEST(EncodedOutput, NulIsWrittenAsUnderscoreAndReported) {
  const std::u16string text(u"a\u4E2D\0b", 4);
  const TEncoding jis = LookUpEncodingName("ISO-2022-JP");
  struct Row {
    TEncoding Encoding;
    TByteOrder Order;
    std::string Bytes;
  };
  const Row rows[] = {
      {UTF_8, boLittleEndian, "a\xE4\xB8\xAD_b"},
      {UTF_16, boLittleEndian, std::string("a\0\x2D\x4E_\0b\0", 8)},
      {UTF_16, boBigEndian, std::string("\0a\x4E\x2D\0_\0b", 8)},
      {i8859_1, boLittleEndian, "a__b"},
      {jis, boLittleEndian, IconvEncode(u"a\u4E2D", jis) + "_b"},
  };
  for (const Row& row : rows) {
    for (size_t piece : {size_t{1}, text.size()}) {
      const TWritten written = WriteInPieces(text, row.Encoding, row.Order, 16, piece);
      EXPECT_EQ(written.Bytes, row.Bytes) << row.Encoding;
      EXPECT_NE(written.Lost.find(u'\0'), std::u16string::npos) << row.Encoding;
    }
  }
}

TEST(EncodedOutput, ATargetThatTakesLessFailsTheWrite) {
  const std::u16string text(1000, u'x');
  // At a flush while writing.
  TRecordingStream target;
  target.Limit = 100;
  TEncodedOutput out(target, UTF_8, boLittleEndian, 256);
  EXPECT_THROW(
      {
        for (int i = 0; i < 10; ++i) out.WriteText(text);
      },
      EWriteError);
  // At the last flush.
  TRecordingStream last;
  last.Limit = 100;
  TEncodedOutput small(last, UTF_8);
  small.WriteText(text);
  EXPECT_TRUE(last.Writes.empty());
  EXPECT_THROW(small.Finish(), EWriteError);
  // WriteWide reaches the buffer the same way.
  TRecordingStream third;
  third.Limit = 0;
  TEncodedOutput viaWide(third, UTF_16);
  WriteWide(viaWide, u"abc");
  EXPECT_THROW(viaWide.Finish(), EWriteError);
}

}  // namespace
}  // namespace lumora
