// What the parser makes of the input's bytes: the byte-order mark against
// the encoding declaration, UTF-16 without a mark, line ends, and bytes
// that are no characters, in both the strict and the relaxed mode.
#include <gtest/gtest.h>

#include <string>

#include "lumora/framework/component.h"
#include "lumora/lex/input_buffer.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseError;
using testing::ParseText;

// text as UTF-16 in order, ASCII only, with or without the mark.
std::string Utf16(const std::string& text, TByteOrder order, bool mark) {
  std::string bytes;
  if (mark) bytes = order == boBigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : text) {
    if (order == boBigEndian) bytes += '\0';
    bytes += c;
    if (order == boLittleEndian) bytes += '\0';
  }
  return bytes;
}

std::string Decl(const std::string& encoding) {
  return "<?xml version='1.0' encoding='" + encoding + "'?><a>x</a>";
}

TEST(EncodingErrors, MarkAndDeclarationThatDisagreeAreFatal) {
  const std::string utf8Mark = "\xEF\xBB\xBF";
  const struct {
    const char* Name;
    std::string Bytes;
    const char* Message;
  } cases[] = {
      {"UTF-8 mark, Latin-1", utf8Mark + Decl("ISO-8859-1"),
       "Encoding 'ISO-8859-1' contradicts the UTF-8 byte-order mark."},
      {"UTF-8 mark, UTF-16", utf8Mark + Decl("UTF-16"),
       "Encoding 'UTF-16' contradicts the UTF-8 byte-order mark."},
      {"UTF-16 mark, Latin-1", Utf16(Decl("ISO-8859-1"), boLittleEndian, true),
       "Encoding 'ISO-8859-1' contradicts the UTF-16 byte-order mark."},
      {"UTF-16 mark, UTF-8", Utf16(Decl("UTF-8"), boBigEndian, true),
       "Encoding 'UTF-8' contradicts the UTF-16 byte-order mark."},
      {"UTF-16 layout, UTF-8", Utf16(Decl("UTF-8"), boLittleEndian, false),
       "Encoding 'UTF-8' contradicts the document's UTF-16 form."},
      {"8-bit bytes, UTF-16", Decl("UTF-16"),
       "Encoding 'UTF-16' contradicts the document's single-byte form (UTF-16 needs a "
       "byte-order mark)."},
  };
  for (const auto& c : cases) {
    for (bool standard : {false, true}) {
      const EKaOrvaneError e = ParseError(c.Bytes, standard);
      EXPECT_EQ(e.Message(), c.Message) << c.Name;
      EXPECT_EQ(e.GetLine(), 1) << c.Name;
    }
  }
}

TEST(EncodingErrors, MatchingDeclarationsAndUnmarkedUtf16Read) {
  const struct {
    const char* Name;
    std::string Bytes;
  } cases[] = {
      {"UTF-8 mark, utf-8", "\xEF\xBB\xBF" + Decl("utf-8")},
      {"UTF-16 mark, UTF-16", Utf16(Decl("UTF-16"), boBigEndian, true)},
      {"UTF-16LE without a mark", Utf16(Decl("UTF-16"), boLittleEndian, false)},
      {"UTF-16BE without a mark", Utf16(Decl("UTF-16"), boBigEndian, false)},
      {"8-bit", Decl("ISO-8859-1")},
  };
  for (const auto& c : cases) {
    for (bool standard : {false, true}) {
      TKaOrvane parser(nullptr);
      parser.SetStandardXML(standard);
      try {
        auto doc = ParseText(parser, c.Bytes);
        EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"x") << c.Name;
      } catch (const EKaOrvaneError& e) {
        ADD_FAILURE() << c.Name << ": " << e.Message();
      }
    }
  }
}

// Names that fix a byte order must name the one read; transcoded input
// (UTF-16 made from the declared encoding) takes any declaration.
TEST(EncodingErrors, BufferChecksNamesOfAByteOrder) {
  TStringStream stream(Utf16("<a/>", boLittleEndian, true));
  TInputBuffer buffer;
  buffer.Init(stream);
  EXPECT_NO_THROW(buffer.DeclareEncoding("utf-16le"));
  EXPECT_THROW(buffer.DeclareEncoding("UTF-16BE"), EKaOrvaneError);
  EXPECT_THROW(buffer.DeclareEncoding("windows-1252"), EKaOrvaneError);
  buffer.Init(stream);
  buffer.SetTranscoded(true);
  EXPECT_TRUE(buffer.IsTranscoded());
  EXPECT_NO_THROW(buffer.DeclareEncoding("windows-1252"));
  EXPECT_EQ(buffer.GetChar(), u'<');
}

TEST(EncodingErrors, Utf16IsWrittenBackInTheOrderItWasRead) {
  for (TByteOrder order : {boLittleEndian, boBigEndian}) {
    for (bool mark : {true, false}) {
      TComponent owner(nullptr);
      auto* parser = new TKaOrvane(&owner);
      auto doc = ParseText(*parser, Utf16(Decl("UTF-16"), order, mark));
      EXPECT_EQ(doc->GetOutputEncoding(), UTF_16);
      EXPECT_EQ(doc->GetByteOrder(), order) << "mark " << mark;
    }
  }
}

// NUL and other controls are illegal characters wherever they stand, in
// both modes, at their own line and column; the data's end is its length.
TEST(EncodingErrors, ControlCharactersAndNulAreIllegalEverywhere) {
  const struct {
    const char* Name;
    std::string Bytes;
    const char* Message;
    int32_t Line;
    int32_t Column;
  } cases[] = {
      {"NUL after the root", std::string("<a/>\0<<<junk", 12), "Illegal character U+0000.", 1, 5},
      {"NUL at the end", std::string("<a/>\n\0", 6), "Illegal character U+0000.", 2, 1},
      {"NUL in content", std::string("<a>x\0</a>", 9), "Illegal character U+0000.", 1, 5},
      {"NUL in a tag", std::string("<a\0/>", 5), "Illegal character U+0000.", 1, 3},
      {"control in text",
       "<doc>a\x01"
       "b</doc>",
       "Illegal character U+0001.", 1, 7},
      {"form feed in a value", "<doc a='\x0C'/>", "Illegal character U+000C.", 1, 9},
      {"escape in a comment", "<doc><!--\r\n\x1B--></doc>", "Illegal character U+001B.", 2, 1},
      {"control in a PI", "<doc><?pi \x02?></doc>", "Illegal character U+0002.", 1, 11},
      {"U+FFFF in CDATA", "<doc><![CDATA[\xEF\xBF\xBF]]></doc>", "Illegal character U+FFFF.", 1,
       15},
  };
  for (const auto& c : cases) {
    for (bool standard : {false, true}) {
      TKaOrvane parser(nullptr);
      parser.SetStandardXML(standard);
      const std::string bytes = "<?xml version='1.0' encoding='UTF-8'?>\n" + c.Bytes;
      const EKaOrvaneError e = ParseError(parser, bytes);
      EXPECT_EQ(e.Message(), c.Message) << c.Name;
      EXPECT_EQ(e.GetLine(), c.Line + 1) << c.Name;
      EXPECT_EQ(e.GetColumn(), c.Column) << c.Name;
    }
  }
}

TEST(EncodingErrors, LineEndsReachTheTreeAsLineFeeds) {
  auto doc = ParseText("<a>x\r\ny\rz\r\n</a>");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"x\ny\nz\n");
  // Lines are counted the same whatever ends them.
  for (const char* bytes : {"<a>\r\n\r\n<b></a>", "<a>\r\r<b></a>", "<a>\n\r\n<b></a>"})
    EXPECT_EQ(ParseError(bytes).GetLine(), 3) << bytes;
}

}  // namespace
}  // namespace lumora
