// Documents in the encodings that iconv converts: read, checked, written
// back byte for byte; bad bytes, unknown names and the default encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "lumora/dom/document.h"
#include "lumora/dom/element.h"
#include "lumora/framework/component.h"
#include "lumora/text/iconv_encodings.h"
#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

struct Sample {
  const char* Encoding;
  const char* Bytes;  // Text in Encoding
  const char16_t* Text;
};

// The bytes come from another implementation of each encoding, not from the
// C library this reads them with.
const Sample kSamples[] = {
    {"windows-1252", "\x43\x61\x66\xE9\x20\x96\x20\x80\x35\x20\x93\x71\x75\x6F\x74\x65\x64\x94",
     u"Caf\u00E9 \u2013 \u20AC5 \u201Cquoted\u201D"},
    {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2\x2C\x20\xEC\xE8\xF0\x20\xB9\x31",
     u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440 \u21161"},
    {"KOI8-R", "\xF3\xDF\xC5\xDB\xD8\x20\xD6\xC5\x20\xC5\xDD\xA3",
     u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451"},
    {"IBM866", "\xF0\xAB\xAA\xA0\x20\xA8\x20\xF1\xA6",
     u"\u0401\u043B\u043A\u0430 \u0438 \u0451\u0436"},
    {"Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67",
     u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8"},
    {"EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8",
     u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8"},
    {"EUC-KR", "\xC7\xD1\xB1\xB9\xBE\xEE\x20\xC5\xD8\xBD\xBA\xC6\xAE",
     u"\uD55C\uAD6D\uC5B4 \uD14D\uC2A4\uD2B8"},
    {"GB2312", "\xD6\xD0\xCE\xC4\xCE\xC4\xB1\xBE",
     u"\u4E2D\u6587\u6587\u672C"},
    {"Big5", "\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5",
     u"\u7E41\u9AD4\u4E2D\u6587"},
    {"TIS-620", "\xC0\xD2\xC9\xD2\xE4\xB7\xC2",
     u"\u0E20\u0E32\u0E29\u0E32\u0E44\u0E17\u0E22"},
};

std::string Document(const std::string& encoding, const std::string& text) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<doc t=\"" + text + "\">\n" +
         text + "</doc>\n";
}

size_t Occurrences(const std::string& haystack, const std::string& needle) {
  size_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1))
    ++count;
  return count;
}

TEST(IconvInput, RoundTripsKeepTextAndBytes) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.Encoding);
    TKaOrvane parser(nullptr);
    auto doc = ParseText(parser, Document(s.Encoding, s.Bytes));
    const TKaXMLElement* root = doc->GetDocumentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetAttribute(u"t"), s.Text);
    EXPECT_EQ(root->GetFirstCharData()->GetValue(), std::u16string(u"\n") + s.Text);
    EXPECT_EQ(doc->GetOutputEncoding(), StringToEncoding(s.Encoding));
    EXPECT_TRUE(IsIconvEncoding(doc->GetOutputEncoding()));
    EXPECT_TRUE(parser.GetInvalidChars().empty());

    // Written in its own encoding, under its own name; read back the same.
    const std::string written = Written(*doc);
    EXPECT_EQ(Occurrences(written, s.Bytes), 2u) << written;
    EXPECT_NE(written.find(std::string("encoding = \"") + s.Encoding + "\""), std::string::npos);
    auto again = ParseText(parser, written);
    EXPECT_EQ(again->GetDocumentElement()->GetAttribute(u"t"), s.Text);
    EXPECT_EQ(Written(*again), written);
  }
}

TEST(IconvInput, DeclaredNamesAnyCaseAndAliases) {
  struct Case {
    const char* Declared;
    const char* Bytes;
    const char16_t* Text;
  } cases[] = {
      {"SHIFT_JIS", "\x93\xFA\x96\x7B", u"\u65E5\u672C"},
      {"ms_kanji", "\x93\xFA\x96\x7B", u"\u65E5\u672C"},
      {"cp1252", "\x80", u"\u20AC"},
      {"CsWindows1251", "\xC6", u"\u0416"},
      {"koi8-r", "\xF6", u"\u0416"},
      {"x-mac-cyrillic", "\x86", u"\u0416"},
      {"latin1", "\xE9", u"\u00E9"},  // an alias of an encoding with a table
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Declared);
    TKaOrvane parser(nullptr);
    auto doc = ParseText(parser, Document(c.Declared, c.Bytes));
    EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"t"), c.Text);
    // The declaration keeps the name as the document gave it.
    EXPECT_NE(Written(*doc).find(std::string("encoding = \"") + c.Declared + "\""),
              std::string::npos);
  }
}

TEST(IconvInput, UnknownEncodingsStayRefused) {
  for (const char* name : {"x-klingon", "UTF8", "windows1252", "ISO-8859-99", "UTF-16LE"}) {
    SCOPED_TRACE(name);
    const EKaOrvaneError e = ParseError(Document(name, "a"));
    EXPECT_EQ(e.Message(), std::string("Encoding '") + name +
                               "' is not supported in this version of Orvane.");
  }
}

TEST(IconvInput, BytesThatDoNotDecodeRaise) {
  struct Case {
    const char* Encoding;
    std::string Body;  // after the declaration line
    const char* Message;
    int Line;
  } cases[] = {
      {"Shift_JIS", "<doc>\n\x82\xFF</doc>", "Byte 0x82 is not valid in Shift_JIS.", 3},
      {"EUC-KR", "<doc>\xFF</doc>", "Byte 0xFF is not valid in EUC-KR.", 2},
      {"windows-1252", "<doc>\x81</doc>", "Byte 0x81 is not valid in windows-1252.", 2},
      // A document that ends inside a sequence.
      {"Big5", "<doc/>\n\n\xA4", "Byte 0xA4 is not valid in Big5.", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Encoding);
    TKaOrvane parser(nullptr);
    TStringStream stream("<?xml version='1.0' encoding='" + std::string(c.Encoding) + "'?>\n" +
                         c.Body);
    std::unique_ptr<TKaXMLDocument> doc;
    try {
      parser.Parse(stream, doc, "in.xml");
      ADD_FAILURE() << "no error";
    } catch (const EKaOrvaneError& e) {
      EXPECT_EQ(e.Message(), c.Message);
      EXPECT_EQ(e.GetFileName(), "in.xml");
      EXPECT_EQ(e.GetLine(), c.Line);
    }
  }
}

TEST(IconvInput, DefaultEncodingReadsDocumentsWithoutDeclaration) {
  TComponent owner(nullptr);
  TKaOrvane parser(&owner);
  parser.SetDefaultEncoding(StringToEncoding("windows-1251"));
  auto doc = ParseText(parser, "<doc>\xCF\xF0\xE8</doc>");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"\u041F\u0440\u0438");
  EXPECT_EQ(doc->GetOutputEncoding(), StringToEncoding("windows-1251"));
  EXPECT_EQ(doc->GetEncoding(), "windows-1251");
  EXPECT_NE(Written(*doc).find("<doc>\xCF\xF0\xE8</doc>"), std::string::npos);

  // A declaration still decides; so does a byte-order mark.
  doc = ParseText(parser, Document("KOI8-R", "\xF0"));
  EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"t"), u"\u041F");
  doc = ParseText(parser, "\xEF\xBB\xBF<doc>\xD0\x9F</doc>");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"\u041F");
  EXPECT_EQ(doc->GetOutputEncoding(), UTF_8);

  // A parser without an owner has no default encoding to apply: it reads
  // UTF-8, where the lone byte is no character.
  TKaOrvane alone(nullptr);
  alone.SetDefaultEncoding(StringToEncoding("windows-1251"));
  EXPECT_THROW(ParseText(alone, "<doc>\xCF</doc>"), EKaOrvaneError);
}

// Hands out its bytes a few at a time, as a pipe may.
class TTrickleStream : public TStringStream {
 public:
  using TStringStream::TStringStream;
  int64_t Read(void* buffer, int64_t count) override {
    return TStringStream::Read(buffer, std::min<int64_t>(count, 7));
  }
};

TEST(IconvInput, LongDocumentsAcrossBlocksAndShortReads) {
  // Two-byte characters at every offset of every block, both ways round.
  std::string body;
  std::u16string expected;
  for (int i = 0; i < 60000; ++i) {
    body += i % 3 ? "\x93\xFA" : "a\x96\x7B";
    expected += i % 3 ? u"\u65E5" : u"a\u672C";
    if (i % 1000 == 999) {
      body += '\n';
      expected += u'\n';
    }
  }
  const std::string bytes = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><doc>" + body + "</doc>";
  for (bool trickle : {false, true}) {
    SCOPED_TRACE(trickle);
    TKaOrvane parser(nullptr);
    std::unique_ptr<TKaXMLDocument> doc;
    TStringStream whole(bytes);
    TTrickleStream pieces(bytes);
    parser.Parse(trickle ? static_cast<TStream&>(pieces) : whole, doc);
    EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), expected);
  }
  // A bad byte far in is reported on its own line.
  const EKaOrvaneError e = ParseError(
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<doc>" + body + "\xFD</doc>");
  EXPECT_EQ(e.Message(), "Byte 0xFD is not valid in Shift_JIS.");
  EXPECT_EQ(e.GetLine(), 2 + 60);
}

TEST(IconvInput, CharactersTheEncodingLacksAreReported) {
  TKaOrvane parser(nullptr);
  auto doc = ParseText(parser, Document("windows-1252", "\xE9"));
  // Comments have no escape: the character becomes '_' and is reported.
  doc->GetDocumentElement()->SetComment(doc->CreateComment(u"\u0416\U0001F600\u00E9"));
  doc->AssignParser(&parser);
  const std::string written = Written(*doc);
  EXPECT_NE(written.find("<!--__\xE9-->"), std::string::npos) << written;
  EXPECT_EQ(parser.GetInvalidChars(), u"\u0416\U0001F600");
}

}  // namespace
}  // namespace lumora::testing
