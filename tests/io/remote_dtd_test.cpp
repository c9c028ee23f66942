// A DTD and its entity sets served over loopback HTTP: read in their own
// encodings with names inside resolved against their URLs, validated, and
// written into a DTD file beside the output under the URL's last segment.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "loopback.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/parser/orvane.h"
#include "resource_testing.h"

namespace lumora {
namespace {

using testing::TLoopbackServer;

class RemoteDTD : public testing::ResourceTest {
 protected:
  void SetUp() override {
    ResourceTest::SetUp();
    ::setenv("no_proxy", "127.0.0.1", 1);
    ::setenv("NO_PROXY", "127.0.0.1", 1);
    Put("www/DTD/strict.dtd",
        "<?xml version='1.0' encoding='UTF-8'?>\n"
        "<!ENTITY % lat1 PUBLIC '-//X//ENTITIES Latin 1//EN' 'lat1.ent'>\n%lat1;\n"
        "<!ELEMENT html (p*)>\n<!ELEMENT p (#PCDATA)>\n<!ATTLIST p title CDATA #IMPLIED>\n");
    // The entity set in UTF-16 with its mark, as some editors save it.
    std::string lat1 = "\xFF\xFE";
    for (const char c : std::string("<!ENTITY eacute \"&#233;\">\n<!ENTITY quot2 '&#34;'>"))
      lat1 += {c, '\0'};
    Put("www/DTD/lat1.ent", lat1);
    server_ = std::make_unique<TLoopbackServer>("http", Path("www"), Path("requests.log"));
    if (server_->Port() == 0) GTEST_SKIP() << "python3 is needed to run a loopback HTTP server";
  }

  std::unique_ptr<TLoopbackServer> server_;
};

TEST_F(RemoteDTD, APublicDoctypeOverHttpValidatesAndWritesBesideTheOutput) {
  const std::string url = server_->Url("http", "/DTD/strict.dtd");
  const std::string in =
      Put("in.xml", "<!DOCTYPE html PUBLIC \"-//X//DTD Strict//EN\" \"" + url +
                        "\"><html><p title='&quot;'>caf&#233;</p></html>");
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  parser.SetCatalogFiles({});
  parser.SetValidateDocument(true);
  std::unique_ptr<TKaXMLDocument> doc;
  EXPECT_TRUE(parser.Parse(in, doc));
  const TKaDocumentType& doctype = *doc->GetDocumentType();
  EXPECT_EQ(doctype.GetExternalLocation(), url);
  const TKaCustomEntityDecl* eacute = doctype.GetEntityDecl(u"eacute");
  ASSERT_NE(eacute, nullptr);
  EXPECT_EQ(eacute->GetValue(), u"\u00E9");
  EXPECT_EQ(doctype.GetEntityDecl(u"lat1")->GetResourceLocation(),
            server_->Url("http", "/DTD/lat1.ent"));

  std::filesystem::create_directories(dir_ / "out");
  doc->SetWriteMode(wmExternalDTD);
  doc->WriteToFile(Path("out/o.xml"));
  std::set<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "out"))
    written.insert(entry.path().filename().string());
  EXPECT_EQ(written, (std::set<std::string>{"o.xml", "strict.dtd"}));
  std::unique_ptr<TKaXMLDocument> again;
  EXPECT_TRUE(parser.Parse(Path("out/o.xml"), again)) << parser.GetErrors().Count();
  EXPECT_EQ(again->GetDocumentType()->GetExternalLocation(), Path("out/strict.dtd"));
  EXPECT_EQ(again->GetDocumentType()->GetEntityDecl(u"eacute")->GetValue(), u"\u00E9");
}

}  // namespace
}  // namespace lumora
