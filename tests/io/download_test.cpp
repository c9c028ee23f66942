// Downloads against loopback servers the tests start: never the Internet.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include "loopback.h"
#include "lumora/framework/sysutils.h"
#include "resource_testing.h"

namespace lumora {
namespace {

using testing::TLoopbackServer;

class Downloads : public testing::ResourceTest {
 protected:
  void SetUp() override {
    ResourceTest::SetUp();
    // Loopback is reached directly, whatever proxy the environment names.
    ::setenv("no_proxy", "127.0.0.1", 1);
    ::setenv("NO_PROXY", "127.0.0.1", 1);
    Put("www/doc.dtd", "<!ELEMENT doc ANY>");
    Put("www/sub/inner.ent", "inner");
    Put("www/cgi-bin/PUBLIC", "resolved");
    server_ = std::make_unique<TLoopbackServer>("http", Path("www"), Path("requests.log"));
    if (server_->Port() == 0) GTEST_SKIP() << "python3 is needed to run a loopback HTTP server";
  }
  std::u16string Url(const std::string& path) const {
    return SystemToWide(server_->Url("http", path));
  }
  std::string Requests() const {
    std::ifstream in(Path("requests.log"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::unique_ptr<TLoopbackServer> server_;
};

TEST_F(Downloads, StatusRedirectsAndCutsDecideWhetherTheBodyIsTheResource) {
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {"/doc.dtd", "<!ELEMENT doc ANY>"},
      {"/missing.dtd", "<none>"},         // 404
      {"/status/500/doc.dtd", "<none>"},  // no error page read as a DTD
      {"/status/403/doc.dtd", "<none>"},
      {"/redirect/0/doc.dtd", "<!ELEMENT doc ANY>"},
      {"/redirect/4/doc.dtd", "<!ELEMENT doc ANY>"},  // five hops
      {"/redirect/5/doc.dtd", "<none>"},              // six
      {"/to-file" + Path("www/doc.dtd"), "<none>"},   // no redirect to a local file
      {"/short/doc.dtd", "<none>"},                   // fewer bytes than announced
  };
  for (const Case& c : cases) EXPECT_EQ(Load(Plain(), Url(c.path)), c.expected) << c.path;
}

TEST_F(Downloads, LocationIsWhereTheBytesCameFromAndNamesInsideResolveFromIt) {
  std::string location;
  EXPECT_EQ(Load(Plain(), Url("/redirect/2/sub/inner.ent"), {}, {}, &location), "inner");
  EXPECT_EQ(location, server_->Url("http", "/sub/inner.ent"));
  EXPECT_EQ(Load(Plain(), u"../doc.dtd", location), "<!ELEMENT doc ANY>");
  // Below a download a name is another download, never a local file: a
  // server may not have the reader's own files read.
  const std::string local = Put("local.dtd", "local");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  for (const std::string& name : {std::string("local.dtd"), local, "file://" + local})
    EXPECT_EQ(Load(Plain(), SystemToWide(name), location), "<none>") << name;
  std::filesystem::current_path(previous);
  EXPECT_EQ(Load(Plain(), SystemToWide(local)), "local");
}

TEST_F(Downloads, LimitsAndTheNetworkSwitch) {
  TResourceOptions options = Plain();
  options.MaxBytes = 10;
  EXPECT_EQ(Load(options, Url("/doc.dtd")), "<none>");
  options.MaxBytes = 18;
  EXPECT_EQ(Load(options, Url("/doc.dtd")), "<!ELEMENT doc ANY>");

  const std::string before = Requests();
  options.AllowNetwork = false;
  options.PublicResolverURL = server_->Url("http", "/cgi-bin/PUBLIC?");
  EXPECT_EQ(Load(options, Url("/doc.dtd"), {}, u"-//X//DTD Y//EN"), "<none>");
  EXPECT_EQ(Requests(), before) << "the server was asked although the network is off";
}

TEST_F(Downloads, AServerThatNeverAnswersFailsAfterTheTimeout) {
  TResourceOptions options = Plain();
  options.TotalTimeoutMs = 500;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Load(options, Url("/hang")), "<none>");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(Downloads, PublicIdentifiersGoToTheResolverOnlyWhenOneIsSet) {
  const std::u16string publicId = u"-//X//DTD  Some Thing//EN";
  EXPECT_EQ(Load(Plain(), u"", {}, publicId), "<none>");
  EXPECT_EQ(Requests().find("PUBLIC"), std::string::npos);
  TResourceOptions options = Plain();
  options.PublicResolverURL = server_->Url("http", "/cgi-bin/PUBLIC?");
  EXPECT_EQ(Load(options, u"", {}, publicId), "resolved");
  // Lower case, each run of blanks one "_".
  EXPECT_NE(Requests().find("GET /cgi-bin/PUBLIC?-//x//dtd_some_thing//en "), std::string::npos)
      << Requests();
}

TEST_F(Downloads, Ftp) {
  TLoopbackServer ftp("ftp", Path("www"));
  if (ftp.Port() == 0)
    GTEST_SKIP() << "python3 with pyftpdlib is needed to run a loopback FTP server";
  EXPECT_EQ(Load(Plain(), SystemToWide(ftp.Url("ftp", "/doc.dtd"))), "<!ELEMENT doc ANY>");
  EXPECT_EQ(Load(Plain(), SystemToWide(ftp.Url("ftp", "/missing.dtd"))), "<none>");
  EXPECT_EQ(Load(Plain(), u"sub/inner.ent", ftp.Url("ftp", "/doc.dtd")), "inner");
}

}  // namespace
}  // namespace lumora
