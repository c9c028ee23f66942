#include "lumora/lex/input_buffer.h"
#include "lumora/lex/lexeme_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lex/test_lexer.h"
#include "lumora/framework/exception.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

using testing::Utf16Bytes;

// A memory stream that counts the reads made of it.
class TCountingStream : public TMemoryStream {
 public:
  explicit TCountingStream(const std::string& bytes) { FData = bytes; }
  int64_t Read(void* buffer, int64_t count) override {
    ++Reads;
    return TMemoryStream::Read(buffer, count);
  }
  int Reads = 0;
};

std::u16string ReadAll(TInputBuffer& buffer, size_t limit = 1 << 22) {
  std::u16string out;
  for (char16_t c = buffer.GetChar(); c != 0 && out.size() < limit; c = buffer.GetChar())
    out.push_back(c);
  return out;
}

TEST(InputBuffer, EmptyBufferAndEmptyStreamGiveZero) {
  TInputBuffer fresh;
  EXPECT_EQ(fresh.GetChar(), 0);
  EXPECT_EQ(fresh.GetChar(), 0);
  fresh.UnGetChars(2);
  EXPECT_EQ(fresh.GetChar(), 0);

  TStringStream empty("");
  auto buffer = TInputBuffer::CreateFromStream(empty);
  EXPECT_EQ(buffer->GetChar(), 0);
  EXPECT_FALSE(buffer->IsTwoByte());
}

TEST(InputBuffer, ByteOrderMarkSelectsTwoByteInputAndInitResetsIt) {
  TStringStream le(std::string("\xFF\xFE<\0", 4));
  TInputBuffer buffer;
  buffer.SetEncoding(UTF_8);
  buffer.Init(le);
  EXPECT_TRUE(buffer.IsTwoByte());
  EXPECT_EQ(buffer.GetEncoding(), UTF_16);
  EXPECT_EQ(buffer.GetByteOrder(), boLittleEndian);
  EXPECT_EQ(buffer.GetChar(), u'<');
  EXPECT_EQ(buffer.GetChar(), 0);

  // The UTF-8 mark selects UTF-8 and is skipped.
  TStringStream marked("\xEF\xBB\xBF\xC3\xA9");
  buffer.Init(marked);
  EXPECT_FALSE(buffer.IsTwoByte());
  EXPECT_TRUE(buffer.HasUtf8Mark());
  EXPECT_EQ(buffer.GetEncoding(), UTF_8);
  EXPECT_EQ(buffer.GetChar(), u'\u00E9');

  // No mark: US-ASCII again, whatever came before.
  TStringStream plain("\xEFx");
  buffer.SetEncoding(UTF_8);
  buffer.Init(plain);
  EXPECT_FALSE(buffer.IsTwoByte());
  EXPECT_FALSE(buffer.HasUtf8Mark());
  EXPECT_EQ(buffer.GetEncoding(), US_ASCII);
  EXPECT_THROW(buffer.GetChar(), EKaOrvaneError);
}

TEST(InputBuffer, StreamIsReadFromItsFirstByte) {
  TStringStream stream("abc");
  stream.Seek(2, TSeekOrigin::soBeginning);
  auto buffer = TInputBuffer::CreateFromStream(stream);
  EXPECT_EQ(ReadAll(*buffer), u"abc");
}

// Mostly ASCII text with characters whose high or low byte is zero: neither
// may end two-byte input, which ends only where the data ends.
TEST(InputBuffer, TwoByteInputInBothOrdersEndsWhereTheDataEnds) {
  const std::u16string text =
      u"<doc a=\"\u0100\">caf\u00E9 \u4E00\u0041\u0200 <![CDATA[x]]></doc>\n";
  for (TByteOrder order : {boLittleEndian, boBigEndian}) {
    for (int32_t block : {2, 3, 5, 8, TInputBuffer::kBlockSize}) {
      TStringStream stream(Utf16Bytes(text, order));
      TInputBuffer buffer(block);
      buffer.Init(stream);
      EXPECT_EQ(ReadAll(buffer), text) << "order " << order << " block " << block;
      EXPECT_EQ(buffer.GetChar(), 0);
    }
  }
}

TEST(InputBuffer, FullBlockIsDeliveredWholeThenZero) {
  std::string bytes(TInputBuffer::kBlockSize, 'x');
  bytes.back() = 'y';
  TCountingStream stream(bytes);
  TInputBuffer buffer;
  buffer.Init(stream);
  const std::u16string all = ReadAll(buffer);
  EXPECT_EQ(all.size(), bytes.size());
  EXPECT_EQ(all.back(), u'y');
  EXPECT_EQ(buffer.GetChar(), 0);
  EXPECT_EQ(stream.Reads, 2);  // the second read finds nothing
}

TEST(InputBuffer, TwoByteCharacterStraddlingTheBlocksIsDecodedWhole) {
  // 102401 is odd: after the mark, the 51200th unit has its first byte last
  // in the first block.
  std::u16string text;
  for (int i = 0; i < 60000; ++i)
    text.push_back(static_cast<char16_t>(u'a' + i % 26 + (i % 7 == 0 ? 0x4E00 : 0)));
  for (TByteOrder order : {boLittleEndian, boBigEndian}) {
    TStringStream stream(Utf16Bytes(text, order));
    TInputBuffer buffer;
    buffer.Init(stream);
    EXPECT_EQ(ReadAll(buffer), text);
  }
}

// A stream that hands out a few bytes per read, as a pipe or a download may.
class TTrickleStream : public TMemoryStream {
 public:
  explicit TTrickleStream(const std::string& bytes) { FData = bytes; }
  int64_t Read(void* buffer, int64_t count) override {
    return TMemoryStream::Read(buffer, std::min<int64_t>(count, 7));
  }
};

TEST(InputBuffer, ShortReadsDoNotEndTheData) {
  std::string bytes;
  for (int i = 0; i < 30000; ++i) bytes += "<item/>";
  TTrickleStream stream(bytes);
  TInputBuffer buffer;
  buffer.Init(stream);
  EXPECT_EQ(ReadAll(buffer).size(), bytes.size());
}

TEST(InputBuffer, PushBackAcrossTheBoundaryDoesNotReadTheStreamAgain) {
  std::string bytes(TInputBuffer::kBlockSize, 'a');
  bytes.back() = 'z';
  bytes += "BCD";
  TCountingStream stream(bytes);
  TInputBuffer buffer;
  buffer.Init(stream);
  for (int i = 0; i < TInputBuffer::kBlockSize; ++i) buffer.GetChar();
  EXPECT_EQ(buffer.GetChar(), u'B');
  const int reads = stream.Reads;
  buffer.UnGetChars(2);
  EXPECT_EQ(buffer.GetChars(3), u"zBC");
  EXPECT_EQ(buffer.GetPrevChar(), u'C');
  EXPECT_EQ(buffer.GetChar(), u'D');
  EXPECT_EQ(buffer.GetChar(), 0);
  EXPECT_EQ(stream.Reads, reads);
}

TEST(InputBuffer, Utf8MultiByteCharactersPushBackWhole) {
  // é (2 bytes), € (3 bytes), 😀 (4 bytes: a surrogate pair).
  TStringStream stream("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9z");
  TInputBuffer buffer;
  buffer.Init(stream);
  buffer.SetEncoding(UTF_8);
  const std::u16string expected = u"a\u00E9\u20AC\U0001F600\u00E9z";
  EXPECT_EQ(buffer.GetChars(static_cast<int>(expected.size())), expected);
  EXPECT_EQ(buffer.GetChar(), 0);
  // Back from the end, one character at a time, each read again.
  for (size_t back = 1; back <= expected.size() + 1; ++back) {
    buffer.UnGetChars(static_cast<int>(back));
    EXPECT_EQ(buffer.GetChars(static_cast<int>(back)),
              expected.substr(expected.size() + 1 - back) + u'\0')
        << back;
  }
  // Pushing back the high half of a pair gives it again, then the low half.
  buffer.Init(stream);
  buffer.SetEncoding(UTF_8);
  buffer.GetChars(3);
  EXPECT_EQ(buffer.GetChar(), 0xD83D);
  buffer.UnGetChar();
  EXPECT_EQ(buffer.GetChar(), 0xD83D);
  EXPECT_EQ(buffer.GetChar(), 0xDE00);
  buffer.UnGetChar();
  EXPECT_EQ(buffer.GetChar(), 0xDE00);
  EXPECT_EQ(buffer.GetChar(), u'\u00E9');
}

TEST(InputBuffer, LookAheadPastTheEndIsUndoneExactly) {
  // Six characters back stay within the previous block of six bytes.
  for (const char* data : {"ab", "", "abcdefghijk"}) {
    for (int skip = 0; skip < 9; ++skip) {
      TStringStream stream(data);
      TInputBuffer buffer(6);
      buffer.Init(stream);
      buffer.GetChars(skip);
      const std::u16string ahead = buffer.GetChars(6);
      buffer.UnGetChars(6);
      EXPECT_EQ(buffer.GetChars(6), ahead) << data << " after " << skip;
    }
  }
}

TEST(InputBuffer, EncodingChangesTakeEffectAtTheNextCharacter) {
  TStringStream stream("\xE9\xE9\xC3\xA9");
  TInputBuffer buffer;
  buffer.Init(stream);
  buffer.SetEncoding(i8859_1);
  EXPECT_EQ(buffer.GetChar(), u'\u00E9');
  buffer.SetEncoding(i8859_5);
  EXPECT_EQ(buffer.GetChar(), u'\u0449');
  buffer.SetEncoding(UTF_8);
  EXPECT_EQ(buffer.GetChar(), u'\u00E9');
  // Characters delivered before are pushed back with the length they had.
  buffer.UnGetChars(2);
  buffer.SetEncoding(i8859_5);
  EXPECT_EQ(buffer.GetChar(), u'\u0449');
}

TEST(InputBuffer, FilesAreReadAndMissingOnesRaise) {
  EXPECT_THROW(
      {
        try {
          TInputBuffer::CreateFromFile("/nonexistent/lumora-input.xml");
        } catch (const EFCreateError& e) {
          EXPECT_EQ(e.Message(), "Error creating file stream for /nonexistent/lumora-input.xml");
          throw;
        }
      },
      EFCreateError);
  const std::string name = ::testing::TempDir() + "lumora_input_buffer_test.xml";
  std::FILE* file = std::fopen(name.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("<a/>", file);
  std::fclose(file);
  auto buffer = TInputBuffer::CreateFromFile(name);
  EXPECT_EQ(buffer->GetFileName(), name);
  EXPECT_EQ(ReadAll(*buffer), u"<a/>");
  std::remove(name.c_str());
}

// Random text in every input form, read through tiny blocks with random
// push-backs, must give exactly the characters of the text.
TEST(InputBuffer, RandomWalksWithPushBackMatchTheDecodedText) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    std::u16string text;
    const int length = 1 + static_cast<int>(random() % 400);
    for (int i = 0; i < length; ++i) {
      switch (random() % 4) {
        case 0:
          text.push_back(static_cast<char16_t>(0x20 + random() % 0x5F));
          break;
        case 1:
          text.push_back(static_cast<char16_t>(0xA0 + random() % 0x700));
          break;
        case 2:
          text.push_back(static_cast<char16_t>(0x800 + random() % 0xC000));
          break;
        default:
          text += u"\U0001F600";
          break;
      }
    }
    std::string bytes;
    const int form = round % 3;
    if (form == 0) {
      bytes = WideToSystem(text);
    } else {
      bytes = Utf16Bytes(text, form == 1 ? boLittleEndian : boBigEndian);
    }
    TStringStream stream(bytes);
    TInputBuffer buffer(static_cast<int32_t>(8 + random() % 9));
    buffer.Init(stream);
    if (form == 0) buffer.SetEncoding(UTF_8);

    // Never more than two characters (8 bytes) behind the furthest point
    // read: within the previous block.
    size_t position = 0;
    size_t furthest = 0;
    for (int step = 0; step < 3000 && position <= text.size(); ++step) {
      const size_t back = std::min<size_t>(position, 1 + random() % 2);
      if (random() % 3 == 0 && furthest - position + back <= 2) {
        buffer.UnGetChars(static_cast<int>(back));
        position -= back;
      } else {
        furthest = std::max(furthest, position + 1);
        const char16_t expected = position < text.size() ? text[position] : 0;
        ASSERT_EQ(buffer.GetChar(), expected) << "round " << round << " at " << position;
        ++position;
      }
    }
  }
}

// The line and column of each code unit of text, as GetLine and GetColumn
// must give them before that unit is read: a pair counts once (between its
// halves the column is that of the character after it), a tab once.
std::vector<std::pair<int32_t, int32_t>> Positions(const std::u16string& text) {
  std::vector<std::pair<int32_t, int32_t>> positions;
  int32_t line = 1;
  int32_t column = 1;
  for (char16_t c : text) {
    positions.emplace_back(line, column);
    if (c == u'\n') {
      ++line;
      column = 1;
    } else if (c < 0xDC00 || c > 0xDFFF) {
      ++column;
    }
  }
  positions.emplace_back(line, column);
  return positions;
}

std::u16string NormalizedLineEnds(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r') {
      out += text[i];
    } else {
      out += u'\n';
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    }
  }
  return out;
}

// Forms: 0 UTF-8, 1 and 2 UTF-16 in either order, 3 Latin-1.
std::string Encode(const std::u16string& text, int form) {
  if (form == 0) return WideToSystem(text);
  if (form == 3) return std::string(text.begin(), text.end());
  return Utf16Bytes(text, form == 1 ? boLittleEndian : boBigEndian);
}

// Every input form, tiny blocks, random push-backs and bulk runs (long ones
// too): the position is exact before every character.
TEST(InputBuffer, LineAndColumnStayExactUnderPushBackAndAcrossBlocks) {
  TInputBuffer::TAsciiSet plain{};
  for (char16_t c = 0x20; c < 0x7F; ++c) plain[c] = c != u'<';
  plain[u'\n'] = plain[u'\t'] = true;
  std::mt19937 random(7);
  // The last two have no Latin-1 form.
  const std::u16string pieces[] = {u"\n",
                                   u"\n\n",
                                   u"\t",
                                   u"ab c",
                                   u"<",
                                   u"\r",
                                   u"\r\n",
                                   u"\r\r\n",
                                   u"\u00E9",
                                   u"x\ny\u00FF",
                                   u"a run of text longer than 16 bytes\n",
                                   u"\u4E00",
                                   u"\U0001F600"};
  for (int round = 0; round < 120; ++round) {
    const int form = round % 4;
    const size_t choices = std::size(pieces) - (form == 3 ? 2 : 0);
    const int count = 1 + static_cast<int>(random() % 60);
    std::u16string raw;
    for (int i = 0; i < count; ++i) raw += pieces[random() % choices];
    const std::u16string text = NormalizedLineEnds(raw);
    const auto expected = Positions(text);
    TStringStream stream(Encode(raw, form));
    TInputBuffer buffer(static_cast<int32_t>(round % 8 == 0 ? 64 : 8 + random() % 9));
    buffer.Init(stream);
    if (form == 0) buffer.SetEncoding(UTF_8);
    if (form == 3) buffer.SetEncoding(i8859_1);
    size_t position = 0;
    size_t furthest = 0;
    for (int step = 0; step < 2000 && position < text.size(); ++step) {
      ASSERT_EQ(std::make_pair(buffer.GetLine(), buffer.GetColumn()), expected[position])
          << "round " << round << " form " << form << " at " << position;
      const size_t back = std::min<size_t>(position, 1 + random() % 2);
      const int choice = static_cast<int>(random() % 4);
      if (choice == 0 && furthest - position + back <= 2) {
        buffer.UnGetChars(static_cast<int>(back));
        position -= back;
      } else if (choice == 1 && (form == 0 || form == 3)) {
        TLexemeText run;
        buffer.ReadAsciiRun(run, plain);
        ASSERT_EQ(std::u16string_view(run), text.substr(position, run.size()));
        position += run.size();
        furthest = std::max(furthest, position);
      } else {
        ASSERT_EQ(buffer.GetChar(), text[position]) << "round " << round << " at " << position;
        furthest = std::max(furthest, ++position);
      }
    }
  }
}

TEST(InputBuffer, PositionPastTheEndAndAfterInitIsThatOfTheEnd) {
  TStringStream stream("a\nbc");
  TInputBuffer buffer;
  buffer.Init(stream);
  EXPECT_EQ(buffer.GetLine(), 1);
  EXPECT_EQ(buffer.GetColumn(), 1);
  buffer.GetChars(6);  // two reads past the end
  EXPECT_EQ(buffer.GetLine(), 2);
  EXPECT_EQ(buffer.GetColumn(), 3);
  buffer.UnGetChars(4);
  EXPECT_EQ(buffer.GetLine(), 2);
  EXPECT_EQ(buffer.GetColumn(), 1);
  buffer.UnGetChar();
  EXPECT_EQ(buffer.GetLine(), 1);
  EXPECT_EQ(buffer.GetColumn(), 2);
  buffer.Init(stream);
  EXPECT_EQ(buffer.GetLine(), 1);
  EXPECT_EQ(buffer.GetColumn(), 1);
}

// Carriage return and line feed, and a lone carriage return, are one line
// feed in every form and at every block edge; only line feeds count lines.
TEST(InputBuffer, LineEndsAreDeliveredAsOneLineFeed) {
  const std::u16string raw = u"a\r\nb\rc\n\r\r\nd\r";
  const std::u16string expected = u"a\nb\nc\n\n\nd\n";
  for (int form = 0; form < 4; ++form) {
    for (int32_t block : {2, 3, 4, 5, 7, 16, TInputBuffer::kBlockSize}) {
      TStringStream stream(form == 3 ? WideToSystem(raw) : Encode(raw, form));
      TInputBuffer buffer(block);
      buffer.Init(stream);
      if (form == 0) buffer.SetEncoding(UTF_8);
      if (form == 3) buffer.SetEncoding(i8859_1);
      EXPECT_EQ(ReadAll(buffer), expected) << "form " << form << " block " << block;
      EXPECT_EQ(buffer.GetLine(), 7);
      if (block < 16) continue;  // the push-back below needs two blocks of 8 bytes
      // Back over "d\n" and the line end before it, one character each.
      buffer.UnGetChars(4);
      EXPECT_EQ(buffer.GetLine(), 5);
      EXPECT_EQ(buffer.GetChars(3), u"\nd\n");
    }
  }
  // A bulk run stops before a carriage return, whatever it accepts.
  TInputBuffer::TAsciiSet all{};
  all.fill(true);
  TStringStream stream("ab\r\ncd");
  TInputBuffer buffer;
  buffer.Init(stream);
  TLexemeText run;
  EXPECT_EQ(buffer.ReadAsciiRun(run, all), 0);
  EXPECT_EQ(std::u16string_view(run), u"ab");
  EXPECT_EQ(buffer.GetChar(), u'\n');
  EXPECT_EQ(buffer.ReadAsciiRun(run, all), 0);
  EXPECT_EQ(std::u16string_view(run), u"abcd");
  // Text read once already keeps its returns.
  TStringStream kept(Utf16Bytes(u"a\r\nb\r", boLittleEndian));
  buffer.SetNormalizeLineEnds(false);
  buffer.Init(kept);
  EXPECT_EQ(ReadAll(buffer), u"a\r\nb\r");
  EXPECT_EQ(buffer.GetLine(), 2);
}

struct TIllegalInput {
  const char* Name;
  std::string Bytes;
  TEncoding Encoding;  // set after Init; n_sup keeps what the mark chose
  const char* Message;
  int32_t Line;
  int32_t Column;
};

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

// Every kind of input that is not a character is an error at its position.
TEST(InputBuffer, IllegalInputIsReportedAtItsLineAndColumn) {
  const std::string notUtf8 = "is not UTF-8; is the document in another encoding?";
  const TIllegalInput cases[] = {
      {"NUL ends nothing", std::string("<a/>\0<<<junk", 12), UTF_8, "Illegal character U+0000.", 1,
       5},
      {"NUL in 8-bit", std::string("a\nb\0", 4), i8859_1, "Illegal character U+0000.", 2, 2},
      {"C0 control",
       "<doc>a\x01"
       "b</doc>",
       UTF_8, "Illegal character U+0001.", 1, 7},
      {"form feed", "a\r\n\x0C", UTF_8, "Illegal character U+000C.", 2, 1},
      {"escape in 8-bit", "a\x1B", i8859_2, "Illegal character U+001B.", 1, 2},
      {"U+FFFE", "x\xEF\xBF\xBE", UTF_8, "Illegal character U+FFFE.", 1, 2},
      {"U+FFFF", "x\xEF\xBF\xBF", UTF_8, "Illegal character U+FFFF.", 1, 2},
      {"after a pair", "\xF0\x9F\x98\x80\x02", UTF_8, "Illegal character U+0002.", 1, 2},
      {"overlong 2", "\xC0\xBC", UTF_8, "Byte 0xC0 ", 1, 1},
      {"overlong 3", "ab\xE0\x80\xBC", UTF_8, "Byte 0xE0 ", 1, 3},
      {"overlong 4", "\xF0\x80\x80\xBC", UTF_8, "Byte 0xF0 ", 1, 1},
      {"surrogate", "a\xED\xA0\x80", UTF_8, "Byte 0xED ", 1, 2},
      {"last surrogate", "ab\xED\xBF\xBF", UTF_8, "Byte 0xED ", 1, 3},
      {"overlong U+07FF", "\xE0\x9F\xBF", UTF_8, "Byte 0xE0 ", 1, 1},
      {"2 bytes, no continuation", "a\xC3(", UTF_8, "Byte 0xC3 ", 1, 2},
      {"3 bytes, second not continued", "\xC3\xA9\xE6\x97(", UTF_8, "Byte 0xE6 ", 1, 2},
      {"5 bytes", "\xF8\x88\x80\x80\x80", UTF_8, "Byte 0xF8 ", 1, 1},
      {"6 bytes", "\xFC\x84\x80\x80\x80\x80", UTF_8, "Byte 0xFC ", 1, 1},
      {"above U+10FFFF", "\xF4\x90\x80\x80", UTF_8, "Byte 0xF4 ", 1, 1},
      {"F5", "\xF5\x80\x80\x80", UTF_8, "Byte 0xF5 ", 1, 1},
      {"FF", "\n\xFF", UTF_8, "Byte 0xFF ", 2, 1},
      {"continuation", "\xC3\xA9\x85", UTF_8, "Byte 0x85 ", 1, 2},
      {"cut by the end", "ab\xE2\x82", UTF_8, "Byte 0xE2 ", 1, 3},
      {"cut by markup", "Zo\xEB</n>", UTF_8, "Byte 0xEB ", 1, 3},
      {"not ASCII", "\xE9t\xE9", US_ASCII,
       "Byte 0xE9 is not US-ASCII; is the document in another encoding?", 1, 1},
      {"hole in 8-bit", "ab\xA5", i8859_3,
       "Byte 0xA5 is not ISO-8859-3; is the document in another encoding?", 1, 3},
      {"lone high at end", Bytes({0xFF, 0xFE, 'a', 0, 0x00, 0xD8}), n_sup,
       "Illegal character U+D800.", 1, 2},
      {"high then no low", Bytes({0xFE, 0xFF, 0xD8, 0x00, 0, 'a'}), n_sup,
       "Illegal character U+D800.", 1, 1},
      {"lone low", Bytes({0xFF, 0xFE, '\n', 0, 0x00, 0xDC}), n_sup, "Illegal character U+DC00.", 2,
       1},
      {"reversed pair", Bytes({0xFF, 0xFE, 0x00, 0xDC, 0x00, 0xD8}), n_sup,
       "Illegal character U+DC00.", 1, 1},
      {"U+0000 unit", Bytes({0xFE, 0xFF, 0, 'a', 0, 0}), n_sup, "Illegal character U+0000.", 1, 2},
      {"U+FFFE unit", Bytes({0xFF, 0xFE, 0xFE, 0xFF}), n_sup, "Illegal character U+FFFE.", 1, 1},
      {"odd byte", Bytes({0xFF, 0xFE, 'a', 0, 'b'}), n_sup,
       "The data ends within a UTF-16 character (an odd number of bytes).", 1, 2},
  };
  for (const TIllegalInput& c : cases) {
    for (int32_t block : {3, 4, TInputBuffer::kBlockSize}) {
      TStringStream stream(c.Bytes);
      TInputBuffer buffer(block);
      buffer.SetFileName("in.xml");
      buffer.Init(stream);
      if (c.Encoding != n_sup) buffer.SetEncoding(c.Encoding);
      try {
        const std::u16string read = ReadAll(buffer);
        ADD_FAILURE() << c.Name << ": read " << WideToSystem(read);
      } catch (const EKaOrvaneError& e) {
        std::string message = c.Message;
        if (message.back() == ' ') message += notUtf8;
        EXPECT_EQ(e.Message(), message) << c.Name;
        EXPECT_EQ(e.GetFileName(), "in.xml") << c.Name;
        EXPECT_EQ(e.GetLine(), c.Line) << c.Name;
        EXPECT_EQ(e.GetColumn(), c.Column) << c.Name << " block " << block;
      }
    }
  }
}

// Controls never come through a bulk run: it stops before them and GetChar
// reports them.
TEST(InputBuffer, BulkRunsStopBeforeControls) {
  TInputBuffer::TAsciiSet all{};
  all.fill(true);
  for (TEncoding encoding : {UTF_8, i8859_1}) {
    TStringStream stream(
        std::string("ab\x01"
                    "c\0",
                    5));
    TInputBuffer buffer;
    buffer.Init(stream);
    buffer.SetEncoding(encoding);
    TLexemeText run;
    buffer.ReadAsciiRun(run, all);
    EXPECT_EQ(std::u16string_view(run), u"ab");
    EXPECT_THROW(buffer.GetChar(), EKaOrvaneError);
  }
}

TEST(InputBuffer, BulkRunsReadExactlyWhatGetCharWould) {
  TInputBuffer::TAsciiSet plain{};
  for (char16_t c = 0x20; c < 0x7F; ++c) plain[c] = c != u'<';
  plain[u'\n'] = true;
  const std::string text =
      "ab\ncd e\xC3\xA9"
      "f<g\nhij klm nop<q";
  for (TEncoding encoding : {UTF_8, i8859_1}) {
    for (int32_t block = 3; block < 12; ++block) {
      TStringStream stream(text);
      TInputBuffer buffer(block);
      buffer.Init(stream);
      buffer.SetEncoding(encoding);
      TLexemeText bulk;
      int lines = 0;
      for (char16_t c = buffer.GetChar(); c != 0; c = buffer.GetChar()) {
        bulk.push_back(c);
        lines += c == u'\n';
        lines += buffer.ReadAsciiRun(bulk, plain);
      }
      TStringStream again(text);
      TInputBuffer single(block);
      single.Init(again);
      single.SetEncoding(encoding);
      EXPECT_EQ(std::u16string_view(bulk), ReadAll(single)) << block;
      EXPECT_EQ(lines, 2);
      // What a run read can be pushed back character by character.
      buffer.UnGetChars(5);
      EXPECT_EQ(buffer.GetChar(), u'o');
    }
  }
}

// A run is the longest prefix of accepted ASCII bytes that stand for
// themselves, within the block, whatever byte stops it and wherever it
// stops: sets as the scanners use them, and ones too scattered for the
// bulk test of 16 bytes, which fall back to the table.
TEST(InputBuffer, BulkRunsStopAtTheFirstByteOutsideTheSet) {
  std::vector<TInputBuffer::TAsciiSet> sets(4);
  for (char16_t c = 0; c < 128; ++c) {
    sets[0][c] = IsNameChar(c);
    sets[1][c] = c == u'\t' || c == u'\n' || c == u'\r' ||
                 (c >= 0x20 && c < 0x7F && c != u'<' && c != u'&' && c != u'>');
    sets[2][c] = c == u'\n' || (c >= 0x20 && c != u'"');
    sets[3][c] = c % 3 != 0;
  }
  const std::string filler = "ab-c.d_e:f9\nXyZ 7\tq";
  for (const TInputBuffer::TAsciiSet& set : sets) {
    const TInputBuffer::TRunSet prepared(set);
    for (TEncoding encoding : {UTF_8, i8859_1}) {
      for (int32_t block : {19, TInputBuffer::kBlockSize}) {
        for (size_t length = 0; length < 40; ++length) {
          std::string text;
          for (size_t i = 0; text.size() < length; ++i) {
            const char c = filler[i % filler.size()];
            if (set[static_cast<uint8_t>(c)]) text += c;
          }
          for (int stop = 1; stop < 256; stop += 1 + stop / 64) {
            const std::string data = text + static_cast<char>(stop) + "zz";
            size_t expected = 0;
            int lineFeeds = 0;
            for (; expected < data.size() && expected < static_cast<size_t>(block); ++expected) {
              const auto b = static_cast<uint8_t>(data[expected]);
              if (b >= 0x80 || b == '\r' || (b < 0x20 && b != '\t' && b != '\n') || !set[b]) break;
              lineFeeds += b == '\n';
            }
            TStringStream stream(data);
            TInputBuffer buffer(block);
            buffer.Init(stream);
            buffer.SetEncoding(encoding);
            TLexemeText run;
            run.assign(u"<");
            ASSERT_EQ(buffer.ReadAsciiRun(run, prepared), lineFeeds);
            ASSERT_EQ(std::u16string_view(run), u"<" + SystemToWide(data.substr(0, expected)))
                << "length " << length << " stop " << stop << " block " << block;
            ASSERT_EQ(buffer.GetLine(), 1 + lineFeeds);
          }
        }
      }
    }
  }
}

}  // namespace
// The scanners' runs (into a lexeme text, short ones inline, across
// characters of two and three bytes in texts) deliver exactly what GetChar would, wherever the
// blocks end: inside a character, between CR and LF, at the stop byte.
// After every run the position is GetChar's, what it read can be pushed
// back, and bad bytes after it are reported by GetChar where GetChar would.
TEST(InputBuffer, ScannerRunsMatchGetCharAtEveryBlockSize) {
  TInputBuffer::TAsciiSet text{};
  for (char16_t c = 0x20; c < 0x7F; ++c) text[c] = c != u'<' && c != u'&';
  text[u'\t'] = text[u'\n'] = text[u'\r'] = true;
  TInputBuffer::TAsciiSet name{};
  for (char16_t c = 0; c < 128; ++c) name[c] = IsNameChar(c);
  const TInputBuffer::TRunSet textRun(text, true), plainRun(text), nameRun(name);
  const std::string long40(40, 'x');
  struct TCase {
    const char* Name;
    std::string Data;
  };
  const std::vector<TCase> cases = {
      {"two and three bytes",
       "Caf\xC3\xA9 n\xC2\xB0"
       "1 &amp; th\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC<x"},
      {"only wide", "\xC3\xA9\xC3\xA9\xE2\x80\x94\xE2\x80\x94\xC3\xA9<"},
      {"long runs", long40 + "\xC3\xA9" + long40 + "\n" + long40 + "\xE2\x80\x94" + long40},
      {"line ends", "a\r\nb\rc\n\xC3\xA9\r\n\xE2\x80\x94\n\nd"},
      {"four bytes",
       "ab\xF0\x9F\x98\x80"
       "cd\xC3\xA9"},
      {"C1 control",
       "ab\xC2\x85"
       "cd"},
      {"overlong",
       "ab\xC0\xAF"
       "cd"},
      {"overlong three",
       "ab\xE0\x80\xAF"
       "cd"},
      {"surrogate",
       "ab\xED\xA0\x80"
       "cd"},
      {"not a character",
       "ab\xEF\xBF\xBE"
       "cd"},
      {"lone continuation",
       "ab\x80"
       "cd"},
      {"cut at the end", "abc\xE2\x80"},
      {"cut by ASCII",
       "ab\xE2\x80"
       "cd"},
      {"control",
       "ab\xC3\xA9\x01"
       "cd"},
  };
  // Latin-1 takes each byte beyond ASCII as a character of its own, which
  // runs leave to GetChar.
  for (const TCase& c : cases) {
    for (TEncoding encoding : {UTF_8, i8859_1}) {
      for (const TInputBuffer::TRunSet* set : {&textRun, &plainRun, &nameRun}) {
        for (int32_t block = 2; block < 45; ++block) {
          const std::string where = std::string(c.Name) + " block " + std::to_string(block) +
                                    (set == &textRun    ? " text"
                                     : set == &plainRun ? " plain"
                                                        : " name") +
                                    (encoding == UTF_8 ? "" : " Latin-1");
          // What GetChar reads, with the position after each unit.
          TStringStream expectedStream(c.Data);
          TInputBuffer single(block);
          single.Init(expectedStream);
          single.SetEncoding(encoding);
          std::u16string expected;
          std::vector<std::pair<int32_t, int32_t>> positions = {{1, 1}};
          std::string error;
          int32_t errorLine = 0, errorColumn = 0;
          try {
            for (char16_t ch = single.GetChar(); ch != 0; ch = single.GetChar()) {
              expected.push_back(ch);
              positions.emplace_back(single.GetLine(), single.GetColumn());
            }
          } catch (const EKaOrvaneError& e) {
            error = e.Message();
            errorLine = e.GetLine();
            errorColumn = e.GetColumn();
          }

          TStringStream stream(c.Data);
          TInputBuffer buffer(block);
          buffer.Init(stream);
          buffer.SetEncoding(encoding);
          TLexemeText read;
          std::string got;
          try {
            for (;;) {
              const size_t before = read.size();
              const int32_t lineBefore = buffer.GetLine();
              // Both forms: the one that takes short runs inline, and the bulk one.
              const int lines =
                  block % 2 == 0 ? buffer.ReadRun(read, *set) : buffer.ReadAsciiRun(read, *set);
              ASSERT_EQ(lines, buffer.GetLine() - lineBefore) << where;
              ASSERT_LE(read.size(), expected.size()) << where;
              ASSERT_EQ(buffer.GetLine(), positions[read.size()].first) << where;
              ASSERT_EQ(buffer.GetColumn(), positions[read.size()].second) << where;
              if (read.size() > before) {
                // The last character of the run goes back whole.
                buffer.UnGetChar();
                const char16_t again = buffer.GetChar();
                ASSERT_EQ(again, read[read.size() - 1]) << where;
              }
              const char16_t ch = buffer.GetChar();
              if (ch == 0) break;
              read.push_back(ch);
            }
          } catch (const EKaOrvaneError& e) {
            got = e.Message();
            EXPECT_EQ(e.GetLine(), errorLine) << where;
            EXPECT_EQ(e.GetColumn(), errorColumn) << where;
          }
          EXPECT_EQ(std::u16string_view(read), expected) << where;
          EXPECT_EQ(got, error) << where;
        }
      }
    }
  }
}

// A lexeme text grows as a string would, keeps its text when it grows and
// always has room for 16 more units behind it.
TEST(LexemeText, GrowsKeepingItsTextAndItsRoom) {
  TLexemeText text;
  std::u16string expected;
  for (int i = 0; i < 3000; ++i) {
    const auto c = static_cast<char16_t>(u'a' + i % 26);
    if (i % 3 == 0) {
      text.push_back(c);
      expected.push_back(c);
    } else if (i % 3 == 1) {
      const std::u16string piece(static_cast<size_t>(i % 37), c);
      text.append(piece);
      expected += piece;
    } else {
      char16_t* room = text.Room(static_cast<size_t>(i % 20));
      for (size_t k = 0; k < 16 + static_cast<size_t>(i % 20); ++k) room[k] = c;
      text.Commit(static_cast<size_t>(i % 20));
      expected.append(static_cast<size_t>(i % 20), c);
    }
    ASSERT_EQ(std::u16string_view(text), expected);
  }
  EXPECT_EQ(std::u16string_view(text.Terminated()), expected);
  text.assign(u"again");
  EXPECT_EQ(std::u16string_view(text), u"again");
  text.clear();
  EXPECT_TRUE(text.empty());
}

}  // namespace lumora
