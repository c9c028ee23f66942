// Escaping while writing: what each context turns into references, and
// what each encoding cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "lumora/framework/stream.h"
#include "lumora/io/wide_output.h"

namespace lumora {
namespace {

std::u16string Units(const std::string& bytes) {
  std::u16string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 static_cast<unsigned char>(bytes[i + 1]) << 8);
  return out;
}

std::u16string Escaped(std::u16string_view text, unsigned escapes, TEncoding encoding) {
  TStringStream out;
  WriteEscaped(out, text, escapes, encoding);
  return Units(out.DataString());
}

std::u16string Section(std::u16string_view data, TEncoding encoding) {
  TStringStream out;
  WriteCDataSection(out, data, encoding);
  return Units(out.DataString());
}

constexpr unsigned kText = kEscapeReturn | kEscapeSectionEnd;
constexpr unsigned kValue = kEscapeQuotes | kEscapeWhite;

TEST(WriteEscaped, EachContextEscapesWhatItsReaderWouldChange) {
  struct Row {
    std::u16string_view text;
    unsigned escapes;
    std::u16string_view written;
  };
  const Row rows[] = {
      {u"a&amp;b &lt; &#65; &x;", kText, u"a&amp;amp;b &amp;lt; &amp;#65; &amp;x;"},
      {u"<a>\"'", kText, u"&lt;a>\"'"},
      {u"]]> ]> ]]]> ]]", kText, u"]]&gt; ]> ]]]&gt; ]]"},
      {u">x", kText, u"&gt;x"},    // brackets before it may end the text written before
      {u"]>x", kText, u"]&gt;x"},
      {u"a\r\nb\tc", kText, u"a&#13;\nb\tc"},
      {u"a\r\nb\tc\"<&>", kValue, u"a&#13;&#10;b&#9;c&quot;&lt;&amp;>"},
      {u"]]>", kValue, u"]]>"},
      {u"", kText, u""},
  };
  for (const Row& row : rows) {
    for (TEncoding encoding : {UTF_8, UTF_16, i8859_1, US_ASCII}) {
      EXPECT_EQ(Escaped(row.text, row.escapes, encoding), row.written)
          << std::string(row.text.begin(), row.text.end()) << " in " << encoding;
    }
  }
}

TEST(WriteEscaped, CharactersTheEncodingLacksBecomeReferences) {
  const std::u16string text = u"\u00e9\u2013\U0001F600\u007f~";
  EXPECT_EQ(Escaped(text, kText, UTF_8), text);
  EXPECT_EQ(Escaped(text, kText, UTF_16), text);
  EXPECT_EQ(Escaped(text, kText, i8859_1), u"\u00e9&#x2013;&#x1F600;&#x7F;~");
  EXPECT_EQ(Escaped(text, kValue, US_ASCII), u"&#xE9;&#x2013;&#x1F600;&#x7F;~");
  // A surrogate without its partner has no reference: the conversion
  // reports it.
  const std::u16string lone = std::u16string(u"a") + char16_t(0xD800) + u"b" + char16_t(0xDC00);
  EXPECT_EQ(Escaped(lone, kText, i8859_1), lone);
}

TEST(WriteCDataSection, SplitsWhereTheDataCannotStandInOneSection) {
  struct Row {
    std::u16string_view data;
    TEncoding encoding;
    std::u16string_view written;
  };
  const Row rows[] = {
      {u"", UTF_8, u"<![CDATA[]]>"},
      {u"a<&>b", i8859_1, u"<![CDATA[a<&>b]]>"},
      {u"a]]>b", UTF_8, u"<![CDATA[a]]]]><![CDATA[>b]]>"},
      {u"]]>", UTF_8, u"<![CDATA[]]]]><![CDATA[>]]>"},
      {u"a\r\nb", UTF_8, u"<![CDATA[a]]>&#13;<![CDATA[\nb]]>"},
      {u"\r", UTF_16, u"&#13;"},
      {u"a\u2013b", i8859_1, u"<![CDATA[a]]>&#x2013;<![CDATA[b]]>"},
      {u"\u2013\U0001F600", US_ASCII, u"&#x2013;&#x1F600;"},
      {u"\u2013]]>", i8859_1, u"&#x2013;<![CDATA[]]]]><![CDATA[>]]>"},
      {u"a\u2013b", UTF_8, u"<![CDATA[a\u2013b]]>"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(Section(row.data, row.encoding), row.written)
        << std::string(row.data.begin(), row.data.end());
}

}  // namespace
}  // namespace lumora
