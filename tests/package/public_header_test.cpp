// A program written against <lumora/lumora.h> alone, as the README tells
// users to: every part of the interface it uses must be declared there.
#include <lumora/lumora.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace lumora;

TEST(PublicHeader, DeclaresTheWholeInterface) {
  // Parse a document with a document type and an attribute.
  const std::string path =
      (std::filesystem::temp_directory_path() / ("lumora-header-" + std::to_string(::getpid())))
          .string();
  {
    auto file = TXMLFileStream::CreateForWriting(path);
    file->WriteString("<!DOCTYPE shop SYSTEM \"shop.dtd\"><shop id=\"s1\">Caf\xC3\xA9</shop>");
  }
  TComponent owner(nullptr);
  TKaOrvane parser(&owner);
  parser.SetDefaultEncoding(UTF_8);
  parser.SetRetrieveInternetURI(false);
  std::unique_ptr<TKaXMLDocument> doc;
  {
    auto file = TXMLFileStream::OpenForReading(path);
    ASSERT_TRUE(parser.Parse(*file, doc, path));
  }
  std::remove(path.c_str());

  // The complete document type.
  TKaDocumentType* doctype = doc->GetDocumentType();
  ASSERT_NE(doctype, nullptr);
  EXPECT_EQ(doctype->GetName(), u"shop");
  EXPECT_EQ(doctype->GetSystemLiteral(), u"shop.dtd");
  EXPECT_FALSE(doctype->GetNodeList().HasChildNodes());
  EXPECT_EQ(doctype->GetElementDecl(u"shop"), nullptr);

  // Named node maps.
  TNamedNodeMap map(doc.get());
  map.SetNamedItem(doc->CreateAttribute(u"a", u"1"));
  map.SetNamedItem(doc->CreateAttribute(u"b", u"2"));
  EXPECT_EQ(map.Length(), 2);
  EXPECT_EQ(map.GetNamedItem(u"B")->GetValue(), u"2");

  // The conversion functions.
  const std::u16string text = doc->GetDocumentElement()->GetFirstCharData()->GetValue();
  EXPECT_EQ(text, u"Caf\u00E9");
  EXPECT_EQ(WideCharToMB(text), "Caf\xC3\xA9");
  EXPECT_EQ(UnicodeToShort(text, i8859_1, boBigEndian), "Caf\xE9");
  EXPECT_TRUE(CanEncode(i8859_1, 0xE9));
  EXPECT_FALSE(CanEncode(US_ASCII, 0xE9));

  // The attribute-type constants.
  EXPECT_LT(atID, atCDATA);
  EXPECT_EQ(doc->GetDocumentElement()->GetAttributesByType(atID)->GetFirst(), nullptr);
}

}  // namespace
