// A catalogue of a few thousand elements built through the public interface
// and written in every supported encoding. The expected bytes are rendered
// here from the catalogue's own records, following the output rules, and
// encoded by glibc's iconv(3), a converter independent of the library.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"

namespace lumora {
namespace {

// text (UTF-16LE bytes) converted by iconv; nullopt when iconv refuses it.
std::optional<std::string> Iconv(const char* to, const std::u16string& text) {
  iconv_t cd = iconv_open(to, "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in;
  for (char16_t c : text) {
    in += static_cast<char>(c & 0xFF);
    in += static_cast<char>(c >> 8);
  }
  std::string out(in.size() * 2 + 16, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  const size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1) || srcLeft != 0) return std::nullopt;
  out.resize(out.size() - dstLeft);
  return out;
}

// The code unit glibc gives for one byte of an 8-bit encoding, if any.
std::optional<char16_t> DecodeByte(const char* from, unsigned char byte) {
  iconv_t cd = iconv_open("UTF-16LE", from);
  char in = static_cast<char>(byte);
  char out[8];
  char* src = &in;
  char* dst = out;
  size_t srcLeft = 1, dstLeft = sizeof out;
  const size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1) || sizeof out - dstLeft != 2) return std::nullopt;
  return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                               static_cast<unsigned char>(out[1]) << 8);
}

struct Encoding {
  const char* name;   // as the document's declaration names it
  const char* iconv;  // as glibc names it
  bool eightBit;
  std::set<int> skip;  // bytes where the library's table deliberately differs from glibc
};

const std::vector<Encoding>& Encodings() {
  static const std::vector<Encoding> all = {
      {"ISO-8859-1", "ISO-8859-1", true, {}},
      {"ISO-8859-2", "ISO-8859-2", true, {}},
      {"ISO-8859-3", "ISO-8859-3", true, {}},
      {"ISO-8859-4", "ISO-8859-4", true, {}},
      {"ISO-8859-5", "ISO-8859-5", true, {}},
      {"ISO-8859-6", "ISO-8859-6", true, {}},
      {"ISO-8859-7", "ISO-8859-7", true, {0xA1, 0xA2, 0xA4, 0xA5, 0xAA}},
      {"ISO-8859-8", "ISO-8859-8", true, {0xAF, 0xFD, 0xFE}},
      {"ISO-8859-9", "ISO-8859-9", true, {}},
      {"ISO-8859-10", "ISO-8859-10", true, {}},
      {"US-ASCII", "ASCII", true, {}},
      {"UTF-8", "UTF-8", false, {}},
      {"UTF-16", "UTF-16BE", false, {}},
  };
  return all;
}

// Deterministic choices.
class Dice {
 public:
  explicit Dice(uint32_t seed) : state_(seed) {}
  uint32_t Roll(uint32_t sides) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % sides;
  }

 private:
  uint32_t state_;
};

// The catalogue's records, and its rendering by the output rules.
struct Item {
  std::u16string id, name, title, price;
  std::optional<std::u16string> before, bold, after;  // mixed content
  std::optional<std::u16string> cdata, comment, piData;
};

struct Catalogue {
  std::u16string comment = u" catalogue \u00e9dition ";
  std::u16string styleData = u"href=\"c.css\"\ttype=\"text/css\"";
  std::vector<Item> items;
};

class Generator {
 public:
  Generator(const Encoding& enc, uint32_t seed) : dice_(seed) {
    if (enc.eightBit) {
      for (int b = 0xA0; b <= 0xFF; ++b) {
        if (enc.skip.count(b)) continue;
        if (auto c = DecodeByte(enc.iconv, static_cast<unsigned char>(b))) {
          pool_.push_back(std::u16string(1, *c));
          representable_.insert(*c);
        }
      }
    } else {
      for (const char16_t* s : {u"\u00e9", u"\u00df", u"\u03a9", u"\u0436", u"\u0643", u"\u05d0",
                                u"\u4e2d", u"\u2603", u"\U0001F600", u"\u20ac"})
        pool_.push_back(s);
    }
    unicode_ = !enc.eightBit;
  }

  // Text with words, markup characters, characters of the encoding and,
  // now and then, characters it cannot hold. No ';' (so no '&' starts a
  // reference), no '-', '?' or ']' (so comments, instructions and CDATA
  // sections stay well formed).
  std::u16string Text(bool whiteSpace) {
    static const char16_t* const kWords[] = {u"alpha", u"Beta", u"gamma 42", u"x=y", u"(p)",
                                             u"a/b",   u"&",    u"<",        u">",   u"\"",
                                             u"'",     u" & ",  u"<tag>",    u"a&b", u"#1"};
    std::u16string text = u"T";
    const uint32_t pieces = 2 + dice_.Roll(6);
    for (uint32_t p = 0; p < pieces; ++p) {
      switch (dice_.Roll(5)) {
        case 0:
        case 1:
          text += kWords[dice_.Roll(std::size(kWords))];
          break;
        case 2:
          if (!pool_.empty()) text += pool_[dice_.Roll(static_cast<uint32_t>(pool_.size()))];
          break;
        case 3:
          text += whiteSpace ? (dice_.Roll(2) ? u"\t" : u"\n") : u" ";
          break;
        default:
          if (dice_.Roll(6) == 0) text += dice_.Roll(2) ? u"\u4e2d" : u"\U0001F600";
          break;
      }
    }
    return text;
  }

  // Whether the encoding holds the code unit.
  bool Holds(char16_t c) const {
    return unicode_ || (c > 0 && c < 0x7F) || representable_.count(c) != 0;
  }

  Catalogue Make(int count) {
    Catalogue cat;
    for (int i = 0; i < count; ++i) {
      Item item;
      item.id = u"i" + Number(i);
      item.name = Text(true);
      item.title = Text(true);
      item.price = Number(i * 7 % 1000) + u"." + Number(i % 100);
      if (i % 2 == 0) {
        item.before = Text(false) + u" ";
        item.bold = Text(true);
        item.after = u" " + Text(false);
      }
      if (i % 4 == 1) item.cdata = Text(true);
      if (i % 5 == 2) item.comment = Text(true);
      if (i % 7 == 3) item.piData = u"k=" + Text(true);
      cat.items.push_back(std::move(item));
    }
    return cat;
  }

  static std::u16string Number(int n) {
    std::u16string out;
    for (char c : std::to_string(n)) out += static_cast<char16_t>(c);
    return out;
  }

 private:
  Dice dice_;
  std::vector<std::u16string> pool_;
  std::set<char16_t> representable_;
  bool unicode_ = false;
};

std::unique_ptr<TKaXMLDocument> Build(const Catalogue& cat, const char* encoding) {
  auto doc = TKaXMLDocument::CreateDocument();
  TKaXMLDocument& d = *doc;
  d.SetEncoding(encoding);
  d.SetComment(d.CreateComment(cat.comment));
  d.SetPI(d.CreateProcessingInstruction(u"xml-stylesheet", cat.styleData));
  auto root = d.CreateElement(u"catalogue");
  root->SetAttribute(u"count", Generator::Number(static_cast<int>(cat.items.size())));
  for (const Item& it : cat.items) {
    TKaXMLElement* item = root->AppendChild(d.CreateElement(u"item"));
    item->SetAttribute(u"id", it.id);
    item->SetAttribute(u"name", it.name);
    item->AppendChild(d.CreateElement(u"title"))->SetCharData(d.CreateTextNode(it.title));
    if (it.before) {
      TKaXMLElement* desc = item->AppendChild(d.CreateElement(u"desc"));
      desc->SetCharData(d.CreateTextNode(*it.before));
      desc->AppendChild(d.CreateElement(u"b"))->SetCharData(d.CreateTextNode(*it.bold));
      desc->SetCharData(d.CreateTextNode(*it.after));
    }
    if (it.cdata) item->SetCData(d.CreateCDATASection(*it.cdata));
    if (it.comment) item->SetComment(d.CreateComment(*it.comment));
    if (it.piData) item->SetPI(d.CreateProcessingInstruction(u"proc", *it.piData));
    auto price = d.CreateElement(u"price");
    price->SetAttribute(u"currency", u"EUR");
    price->SetAttribute(u"value", it.price);
    item->AppendChild(std::move(price));
    item->AppendChild(d.CreateElement(u"empty"));
  }
  d.SetDocumentElement(std::move(root));
  return doc;
}

// How the output treats the characters an encoding cannot hold: text,
// attribute values and CDATA sections get character references, comments and
// instructions '_' (those units are reported, each once, in the order met).
class Output {
 public:
  Output(const Generator& gen, bool formatted) : gen_(gen), formatted_(formatted) {}

  std::u16string Line(int indent) const {
    return u"\r\n" + std::u16string(formatted_ ? static_cast<size_t>(indent) : 0, u' ');
  }

  std::u16string Escaped(const std::u16string& text, bool quote) const {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c == u'&')
        out += u"&amp;";
      else if (c == u'<')
        out += u"&lt;";
      else if (c == u'"' && quote)
        out += u"&quot;";
      else if (quote && (c == u'\t' || c == u'\n'))
        out += u' ';  // a value set through the interface is normalized
      else if (!gen_.Holds(c))
        out += Reference(text, i);
      else
        out += c;
    }
    return out;
  }

  // Sections around references; none of them empty unless the data is.
  std::u16string CData(const std::u16string& data) const {
    std::u16string out, section;
    auto close = [&] {
      if (!section.empty()) out += u"<![CDATA[" + section + u"]]>";
      section.clear();
    };
    for (size_t i = 0; i < data.size(); ++i) {
      if (gen_.Holds(data[i])) {
        section += data[i];
        continue;
      }
      close();
      out += Reference(data, i);
    }
    close();
    return out.empty() ? u"<![CDATA[]]>" : out;
  }

  std::u16string Lossy(const std::u16string& text) {
    std::u16string out = text;
    for (char16_t& c : out) {
      if (gen_.Holds(c)) continue;
      if (invalid_.find(c) == std::u16string::npos) invalid_ += c;
      c = u'_';
    }
    return out;
  }

  const std::u16string& Invalid() const { return invalid_; }

 private:
  // "&#xHEX;" for the character at text[i]; a surrogate pair is one.
  static std::u16string Reference(const std::u16string& text, size_t& i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", cp);
    std::u16string out = u"&#x";
    for (const char* p = hex; *p; ++p) out += static_cast<char16_t>(*p);
    return out + u";";
  }

  const Generator& gen_;
  bool formatted_;
  std::u16string invalid_;
};

std::u16string Attr(const Output& o, const char16_t* name, const std::u16string& value) {
  return u" " + std::u16string(name) + u" = \"" + o.Escaped(value, true) + u"\"";
}

// The whole document as the output rules lay it out. An item that holds a
// CDATA section has mixed content: what it holds is written without line
// breaks or indentation.
std::u16string Render(const Catalogue& cat, const char* encoding, Output& o) {
  std::u16string enc;
  for (const char* p = encoding; *p; ++p) enc += static_cast<char16_t>(*p);
  std::u16string out = u"<?xml version = \"1.0\" encoding = \"" + enc + u"\"?>\r\n";
  out += o.Line(3) + u"<!--" + o.Lossy(cat.comment) + u"-->";
  out += o.Line(3) + u"<?xml-stylesheet " + o.Lossy(cat.styleData) + u"?>";
  out += o.Line(0) + u"<catalogue" +
         Attr(o, u"count", Generator::Number(int(cat.items.size()))) + u">";
  for (const Item& it : cat.items) {
    const bool mixed = it.cdata.has_value();
    auto line = [&](int indent) { return mixed ? std::u16string() : o.Line(indent); };
    out += o.Line(3) + u"<item" + Attr(o, u"id", it.id) + Attr(o, u"name", it.name) + u">";
    out += line(6) + u"<title>" + o.Escaped(it.title, false) + u"</title>";
    if (it.before) {
      out += line(6) + u"<desc>" + o.Escaped(*it.before, false) + u"<b>" +
             o.Escaped(*it.bold, false) + u"</b>" + o.Escaped(*it.after, false) + u"</desc>";
    }
    if (it.cdata) out += line(9) + o.CData(*it.cdata);
    if (it.comment) out += line(9) + u"<!--" + o.Lossy(*it.comment) + u"-->";
    if (it.piData) out += line(9) + u"<?proc " + o.Lossy(*it.piData) + u"?>";
    out += line(6) + u"<price" + Attr(o, u"currency", u"EUR") + Attr(o, u"value", it.price) +
           u"/>";
    out += line(6) + u"<empty/>";
    out += line(3) + u"</item>";
  }
  out += o.Line(0) + u"</catalogue>";
  return out;
}

std::string Printable(const std::string& bytes, size_t at) {
  const size_t from = at > 40 ? at - 40 : 0;
  std::string out;
  for (size_t i = from; i < bytes.size() && i < at + 40; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out += b >= 0x20 && b < 0x7F ? std::string(1, static_cast<char>(b)) : "\\x" + std::to_string(b);
  }
  return out;
}

void ExpectSameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return;
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  ADD_FAILURE() << "sizes " << actual.size() << " and " << expected.size()
                << ", first difference at " << at << "\n  actual:   " << Printable(actual, at)
                << "\n  expected: " << Printable(expected, at);
}

constexpr int kItems = 800;  // about 3,900 elements

TEST(Catalogue, WrittenInEveryEncodingByteForByte) {
  uint32_t seed = 1;
  for (const Encoding& enc : Encodings()) {
    SCOPED_TRACE(enc.name);
    Generator gen(enc, seed++);
    const Catalogue cat = gen.Make(kItems);
    const auto doc = Build(cat, enc.name);
    ASSERT_EQ(doc->GetDocumentElement()->GetNodeList().Length(), 1);  // one attribute: count

    Output o(gen, true);
    const std::u16string text = Render(cat, enc.name, o);
    const std::optional<std::string> expected = Iconv(enc.iconv, text);
    ASSERT_TRUE(expected.has_value()) << "iconv refused the expected text";
    ExpectSameBytes(testing::Written(*doc), *expected);
    EXPECT_EQ(doc->GetInvalidChars(), o.Invalid());
    EXPECT_EQ(o.Invalid().empty(), !enc.eightBit);  // the 8-bit ones met foreign characters
  }
}

TEST(Catalogue, Utf16InBothByteOrdersAndUnformatted) {
  const Encoding& utf16 = Encodings().back();
  Generator gen(utf16, 99);
  const Catalogue cat = gen.Make(kItems);
  const auto doc = Build(cat, "UTF-16");
  Output formatted(gen, true), plainOutput(gen, false);
  const std::u16string text = Render(cat, "UTF-16", formatted);

  const std::string tmp =
      (std::filesystem::temp_directory_path() / ("lumora-catalogue-" + std::to_string(::getpid())))
          .string();
  auto fileBytes = [&] {
    doc->WriteToFile(tmp);
    std::ifstream in(tmp, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  ExpectSameBytes(fileBytes(), "\xFE\xFF" + *Iconv("UTF-16BE", text));
  doc->SetByteOrder(boLittleEndian);
  ExpectSameBytes(fileBytes(), "\xFF\xFE" + *Iconv("UTF-16LE", text));
  ExpectSameBytes(testing::Written(*doc), *Iconv("UTF-16LE", text));
  std::filesystem::remove(tmp);
  EXPECT_EQ(doc->GetInvalidChars(), u"");

  // Without formatting the same document loses its indentation only.
  testing::PositionedParser plain;
  plain.SetFormatedOutput(false);
  doc->AssignParser(&plain);
  doc->SetEncoding("UTF-8");
  ExpectSameBytes(testing::Written(*doc), *Iconv("UTF-8", Render(cat, "UTF-8", plainOutput)));
  doc->AssignParser(nullptr);
}

}  // namespace
}  // namespace lumora
