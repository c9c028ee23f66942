#include "lumora/io/catalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lumora/framework/sysutils.h"
#include "resource_testing.h"

namespace lumora {
namespace {

class Catalogs : public testing::ResourceTest {
 protected:
  // The URI the catalogs give, with the scratch folder's URI cut to "@",
  // or "<none>".
  std::string Resolve(const std::vector<std::string>& files, const std::string& publicId,
                      const std::string& systemId) const {
    std::string uri;
    if (!ResolveByCatalogs(files, publicId, systemId, uri)) return "<none>";
    const std::string root = "file://" + dir_.string();
    if (uri.starts_with(root)) uri = "@" + uri.substr(root.size());
    return uri;
  }
  static std::string Catalog(const std::string& entries) {
    return "<?xml version='1.0'?>\n"
           "<!DOCTYPE catalog PUBLIC '-//OASIS//DTD XML Catalogs V1.1//EN'\n"
           "  'http://www.oasis-open.org/committees/entity/release/1.1/catalog.dtd'>\n"
           "<catalog xmlns='urn:oasis:names:tc:entity:xmlns:xml:catalog'>\n" +
           entries + "</catalog>\n";
  }
};

TEST_F(Catalogs, EntriesInTheOrderTheCatalogStandardGives) {
  const std::string main = Put(
      "main.xml",
      Catalog(
          "<public publicId='-//A//DTD  Doc//EN' uri='dtd/a.dtd'/>\n"
          "<system systemId='http://example.org/a.dtd' uri='sys/a.dtd'/>\n"
          "<rewriteSystem systemIdStartString='http://example.org/dtds/' rewritePrefix='local/'/>\n"
          "<rewriteSystem systemIdStartString='http://example.org/dtds/deep/' "
          "rewritePrefix='/opt/deep/'/>\n"
          "<systemSuffix systemIdSuffix='/tail.dtd' uri='suffix.dtd'/>\n"
          "<uri name='http://example.org/u.ent' uri='u.ent'/>\n"
          "<group xml:base='http://mirror.example/base/'>"
          "<public publicId='-//A//DTD Grouped//EN' uri='g.dtd'/></group>\n"
          "<group prefer='system'><public publicId='-//A//DTD Weak//EN' uri='weak.dtd'/></group>\n"
          "<delegatePublic publicIdStartString='-//D//' catalog='delegate.xml'/>\n"
          "<nextCatalog catalog='next.xml'/>\n"));
  Put("delegate.xml", Catalog("<public publicId='-//D//DTD X//EN' uri='d.dtd'/>\n"));
  Put("next.xml", Catalog("<public publicId='-//N//DTD X//EN' uri='n.dtd'/>\n"
                          "<nextCatalog catalog='next.xml'/>\n"));  // a loop ends
  struct Case {
    std::string publicId, systemId, expected;
  } cases[] = {
      {"-//A//DTD Doc//EN", "", "@/dtd/a.dtd"},  // blanks normalized on both sides
      {" -//A//DTD\tDoc//EN ", "whatever.dtd", "@/dtd/a.dtd"},
      {"", "http://example.org/a.dtd", "@/sys/a.dtd"},
      {"-//A//DTD Doc//EN", "http://example.org/a.dtd", "@/sys/a.dtd"},  // system first
      {"", "http://example.org/dtds/x/y.dtd", "@/local/x/y.dtd"},
      {"", "http://example.org/dtds/deep/z.dtd", "file:///opt/deep/z.dtd"},  // longest prefix
      {"", "http://other.org/a/tail.dtd", "@/suffix.dtd"},
      {"", "http://example.org/u.ent", "@/u.ent"},  // uri entries map system identifiers too
      {"-//A//DTD Grouped//EN", "", "http://mirror.example/base/g.dtd"},
      {"-//A//DTD Weak//EN", "", "@/weak.dtd"},
      {"-//A//DTD Weak//EN", "s.dtd", "<none>"},  // prefer='system' with a system identifier
      {"-//D//DTD X//EN", "", "@/d.dtd"},
      {"-//D//DTD Other//EN", "", "<none>"},  // delegation ends the search
      {"-//N//DTD X//EN", "", "@/n.dtd"},
      {"-//Q//DTD Unknown//EN", "q.dtd", "<none>"},
      {"", "", "<none>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Resolve({main}, c.publicId, c.systemId), c.expected) << c.publicId << c.systemId;
}

TEST_F(Catalogs, ListedCatalogsAreTriedInOrderAndBrokenOnesResolveNothing) {
  const std::string first = Put("first.xml", Catalog("<public publicId='-//P//EN' uri='one'/>"));
  const std::string second = Put("second.xml", Catalog("<public publicId='-//P//EN' uri='two'/>"
                                                       "<public publicId='-//Q//EN' uri='q'/>"));
  const std::string broken = Put("broken.xml", "<catalog><public publicId='-//Q//EN'");
  EXPECT_EQ(Resolve({first, second}, "-//P//EN", ""), "@/one");
  EXPECT_EQ(Resolve({broken, first, second}, "-//Q//EN", ""), "@/q");
  EXPECT_EQ(Resolve({Path("absent.xml"), "file://" + second}, "-//Q//EN", ""), "@/q");
  EXPECT_EQ(Resolve({"http://127.0.0.1:9/catalog.xml"}, "-//Q//EN", ""), "<none>");
}

TEST_F(Catalogs, AChangedCatalogIsReadAgain) {
  const std::string file = Put("c.xml", Catalog("<system systemId='s.dtd' uri='old.dtd'/>"));
  EXPECT_EQ(Resolve({file}, "", "s.dtd"), "@/old.dtd");
  Put("c.xml", Catalog("<system systemId='s.dtd' uri='new-and-longer.dtd'/>"));
  EXPECT_EQ(Resolve({file}, "", "s.dtd"), "@/new-and-longer.dtd");
}

TEST_F(Catalogs, TheLoaderAsksCatalogsBeforeTheNetwork) {
  Put("dtds/book.dtd", "<!ELEMENT book ANY>");
  TResourceOptions options = Plain();
  options.AllowNetwork = false;
  options.CatalogFiles = {Put(
      "catalog.xml",
      Catalog("<public publicId='-//B//DTD Book//EN' uri='dtds/book.dtd'/>"
              "<rewriteSystem systemIdStartString='http://example.org/' rewritePrefix='dtds/'/>"))};
  std::string location;
  EXPECT_EQ(
      Load(options, u"http://unreachable.invalid/book.dtd", {}, u"-//B//DTD Book//EN", &location),
      "<!ELEMENT book ANY>");
  EXPECT_EQ(location, Path("dtds/book.dtd"));
  EXPECT_EQ(Load(options, u"http://example.org/book.dtd"), "<!ELEMENT book ANY>");
  // What the catalogs map to local files is not read when local files are
  // forbidden.
  options.AllowLocalFiles = false;
  EXPECT_EQ(Load(options, u"http://example.org/book.dtd"), "<none>");
}

TEST_F(Catalogs, DebianDocBookCatalogResolvesOffline) {
  const std::string dtd = "/usr/share/xml/docbook/schema/dtd/4.5/docbookx.dtd";
  if (!std::filesystem::exists("/etc/xml/catalog") || !std::filesystem::exists(dtd))
    GTEST_SKIP() << "needs the docbook-xml package and its catalog";
  std::string uri;
  ASSERT_TRUE(ResolveByCatalogs({"/etc/xml/catalog"}, "-//OASIS//DTD DocBook XML V4.5//EN",
                                "http://www.oasis-open.org/docbook/xml/4.5/docbookx.dtd", uri));
  EXPECT_EQ(std::filesystem::canonical(uri.substr(7)), std::filesystem::canonical(dtd)) << uri;
}

}  // namespace
}  // namespace lumora
