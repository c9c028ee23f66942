#include "lumora/io/url.h"

#include <gtest/gtest.h>

#include <string>

namespace lumora {
namespace {

TEST(Urls, SchemesAreLowerCasedAndDrivesAreNone) {
  struct Case {
    std::string name, scheme;
  } cases[] = {
      {"HTTP://h/x", "http"},
      {"ftp://h", "ftp"},
      {"file:///x", "file"},
      {"c:\\x.dtd", ""},
      {"x.dtd", ""},
      {"dir/a:b.dtd", ""},
      {":x", ""},
      {"svn+ssh://h", "svn+ssh"},
      {"1a://h", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlScheme(c.name), c.scheme) << c.name;
}

TEST(Urls, ReferencesResolveAgainstTheirBase) {
  const std::string base = "http://h:8/a/b/doc.xml?q#f";
  struct Case {
    std::string reference, expected;
  } cases[] = {
      {"x.dtd", "http://h:8/a/b/x.dtd"},
      {"./x.dtd", "http://h:8/a/b/x.dtd"},
      {"../x.dtd", "http://h:8/a/x.dtd"},
      {"../../../../x.dtd", "http://h:8/x.dtd"},  // never above the root
      {"sub/./y/../x.dtd", "http://h:8/a/b/sub/x.dtd"},
      {"/x.dtd", "http://h:8/x.dtd"},
      {"//other/x.dtd", "http://other/x.dtd"},
      {"x.dtd?v=2#top", "http://h:8/a/b/x.dtd?v=2#top"},
      {"..", "http://h:8/a/"},
      {"ftp://f/x.dtd", "ftp://f/x.dtd"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveURL(base, c.reference), c.expected) << c.reference;
  EXPECT_EQ(ResolveURL("http://h", "x.dtd"), "http://h/x.dtd");
  EXPECT_EQ(ResolveURL("file:///d/doc.xml", "../e.ent"), "file:///e.ent");
}

TEST(Urls, FileUrlsNameLocalPaths) {
  struct Case {
    std::string url;
    bool ok;
    std::string path;
  } cases[] = {
      {"file:///a/b%20c.dtd", true, "/a/b c.dtd"},
      {"file://localhost/a.dtd", true, "/a.dtd"},
      {"file:/a.dtd", true, "/a.dtd"},
      {"FILE:///a.dtd?x#y", true, "/a.dtd"},
      {"file:///a%2", true, "/a%2"},  // a broken escape stays as written
      {"file://host/a.dtd", false, ""},
      {"file:///a%00b", false, ""},  // a NUL would cut the name short
      {"http://h/a.dtd", false, ""},
      {"file://", false, ""},
  };
  for (const Case& c : cases) {
    std::string path;
    EXPECT_EQ(FileURLToPath(c.url, path), c.ok) << c.url;
    if (c.ok) {
      EXPECT_EQ(path, c.path) << c.url;
    }
  }
}

TEST(Urls, NormalizedForARequest) {
  EXPECT_EQ(NormalizeURL("  http://h/a  b c\t"), "http://h/a_b_c");
  EXPECT_EQ(NormalizeURL("http://h/é\"<>{}|\\^`%41"),
            "http://h/%C3%A9%22%3C%3E%7B%7D%7C%5C%5E%60%41");
  EXPECT_EQ(NormalizeURL("   "), "");
}

}  // namespace
}  // namespace lumora
