// lumora write: the written document reads back the same in every encoding,
// and a failed write never damages what was there before.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli_testing.h"
#include "output_file.h"

namespace lumora::testing {
namespace {

namespace fs = std::filesystem;

using WriteTest = CliTest;

TEST_F(WriteTest, EveryExampleSurvivesEveryUnicodeEncoding) {
  for (const char* example :
       {"catalogue.xml", "config-latin1.xml", "feed-utf16.xml", "page.xhtml"}) {
    // The reference: the example written as UTF-8.
    const std::string reference = Path("reference.xml");
    ASSERT_EQ(RunCli({"write", Example(example), "-o", reference, "--encoding", "UTF-8"}).Status, 0)
        << example;
    for (const std::vector<std::string>& to :
         std::vector<std::vector<std::string>>{{"--encoding", "UTF-16"},
                                               {"--encoding", "UTF-16", "--little-endian"},
                                               {"--encoding", "utf-8"}}) {
      std::vector<std::string> args = {"write", Example(example), "-o", Path("there.xml")};
      args.insert(args.end(), to.begin(), to.end());
      auto r = RunCli(args);
      ASSERT_EQ(r.Status, 0) << example << r.Err;
      EXPECT_EQ(r.Err, "") << example;
      r = RunCli({"write", Path("there.xml"), "-o", Path("back.xml"), "--encoding", "UTF-8"});
      ASSERT_EQ(r.Status, 0) << example << r.Err;
      EXPECT_EQ(ReadFile(Path("back.xml")), ReadFile(reference)) << example << " via " << to[1];
    }
  }
}

TEST_F(WriteTest, Utf16StartsWithItsByteOrderMarkAndNamesItself) {
  const std::string in = Put("in.xml", "<?xml version=\"1.0\"?><a>\xC3\xA9</a>");
  ASSERT_EQ(RunCli({"write", in, "-o", Path("be.xml"), "--encoding", "UTF-16"}).Status, 0);
  ASSERT_EQ(
      RunCli({"write", in, "-o", Path("le.xml"), "--encoding", "UTF-16", "--little-endian"}).Status,
      0);
  const std::string be = ReadFile(Path("be.xml")), le = ReadFile(Path("le.xml"));
  EXPECT_TRUE(be.starts_with(std::string("\xFE\xFF\0<", 4)));
  EXPECT_TRUE(le.starts_with(std::string("\xFF\xFE<\0", 4)));
  // é as one unit in each byte order, and the declaration's encoding.
  EXPECT_NE(be.find(std::string("\0\xE9", 2)), std::string::npos);
  EXPECT_NE(le.find(std::string("\xE9\0", 2)), std::string::npos);
  const std::string name = "encoding = \"UTF-16\"";
  std::string nameLE;
  for (char c : name) nameLE += std::string{c, '\0'};
  EXPECT_NE(le.find(nameLE), std::string::npos);

  const auto r = RunCli({"check", "--verbose", Path("le.xml"), Path("be.xml")});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 2);
}

// A comment has no escape for a character its encoding cannot hold: such
// a write fails and leaves OUT alone, unless --lossy accepts the '_'.
TEST_F(WriteTest, CharactersWithoutEscapeFailUnlessLossy) {
  const std::string in = Put("in.xml",
                             "<a><!-- 1\xE2\x80\x94"
                             "2 --></a>");
  const std::string out = Put("out.xml", "precious");
  auto r = RunCli({"write", in, "-o", out, "--encoding", "ISO-8859-1"});
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(r.Err, out +
                       ": error: characters that ISO-8859-1 cannot represent where no reference "
                       "can stand: (0x2014); nothing written (--lossy writes them as '_')\n");
  EXPECT_EQ(ReadFile(out), "precious");
  r = RunCli({"write", in, "-o", "-", "--encoding", "ISO-8859-1"});
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(r.Out, "") << "nothing goes to standard output either";

  r = RunCli({"write", in, "-o", out, "--encoding", "ISO-8859-1", "--lossy"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, out +
                       ": warning: characters that ISO-8859-1 cannot represent were written as "
                       "'_': (0x2014)\n");
  const std::string bytes = ReadFile(out);
  EXPECT_NE(bytes.find("1_2"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("encoding = \"ISO-8859-1\""), std::string::npos);
  // No temporary file is left behind either way.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

// Text and attribute values have references for what the encoding lacks:
// nothing is lost and nothing is reported.
TEST_F(WriteTest, TextTheOutputCannotHoldBecomesReferences) {
  const std::string out = Path("latin.xml");
  const auto r = RunCli({"write", Example("catalogue.xml"), "-o", out, "--encoding", "ISO-8859-1"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "");
  const std::string bytes = ReadFile(out);
  EXPECT_NE(bytes.find("Caf\xE9 de Colombie &#x2014; Huila"), std::string::npos);
}

TEST_F(WriteTest, RewritingAFileInPlaceKeepsItsContent) {
  const std::string file = Put("doc.xml", ReadFile(Example("catalogue.xml")));
  ASSERT_EQ(RunCli({"write", file, "-o", Path("ref.xml")}).Status, 0);
  auto r = RunCli({"write", file, "-o", file, "--encoding", "UTF-16"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(RunCli({"write", file, "-o", file, "--encoding", "UTF-8"}).Status, 0);
  EXPECT_EQ(ReadFile(file), ReadFile(Path("ref.xml")));
}

TEST_F(WriteTest, FailuresLeaveTheOutputAsItWas) {
  const std::string out = Put("out.xml", "precious");
  // Not well-formed: nothing is written.
  const std::string bad = Put("bad.xml", "<a><b></a>");
  auto r = RunCli({"write", bad, "-o", out});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(ReadFile(out), "precious");
  // Unreadable input.
  r = RunCli({"write", Path("none.xml"), "-o", out});
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(ReadFile(out), "precious");

  // Output that cannot be created or completed.
  const std::string good = Put("good.xml", "<a>text</a>");
  r = RunCli({"write", good, "-o", Path("no/such/folder/x.xml")});
  EXPECT_EQ(r.Status, 3);
  EXPECT_TRUE(r.Err.starts_with(Path("no/such/folder/x.xml") + ": error: cannot write file"))
      << r.Err;
  fs::create_directory(Path("folder"));
  EXPECT_EQ(RunCli({"write", good, "-o", Path("folder")}).Status, 3);
  r = RunCli({"write", good, "-o", "/dev/full"});
  EXPECT_EQ(r.Status, 3) << "a full disk must not pass for success";
  EXPECT_NE(r.Err.find("cannot write file"), std::string::npos) << r.Err;

  // No temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"bad.xml", "folder", "good.xml", "out.xml"}));
}

TEST_F(WriteTest, ReplacingAFileKeepsItsPermissionsAndLinks) {
  const std::string in = Put("in.xml", "<a/>");
  const std::string out = Put("out.xml", "old");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(RunCli({"write", in, "-o", out}).Status, 0);
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(ReadFile(out).find("<a/>"), std::string::npos);

  // Written through a link: the link stays and its target changes.
  const std::string target = Put("target.xml", "old");
  fs::create_symlink(target, Path("link.xml"));
  ASSERT_EQ(RunCli({"write", in, "-o", Path("link.xml")}).Status, 0);
  EXPECT_TRUE(fs::is_symlink(Path("link.xml")));
  EXPECT_NE(ReadFile(target).find("<a/>"), std::string::npos);
}

// Every name the file system allows for OUT works: the temporary file's
// name does not grow with it.
TEST_F(WriteTest, TheLongestLegalOutputNameWorks) {
  const std::string in = Put("in.xml", "<a/>");
  const std::string longest = Path(std::string(250, 'n') + ".xml");  // 254 bytes
  auto r = RunCli({"write", in, "-o", longest});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(ReadFile(longest).find("<a/>"), std::string::npos);
  r = RunCli({"write", in, "-o", longest});  // and replaced again
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

// Past the file-size limit the write fails like any other: reported, the
// temporary file removed, OUT untouched, status 3, rather than a silent death.
TEST_F(WriteTest, AFileSizeLimitFailsTheWriteCleanly) {
  std::string bytes = "<list>";
  for (int i = 0; i < 2000; ++i) bytes += "<item>some text to fill the file</item>";
  bytes += "</list>";
  const std::string in = Put("in.xml", bytes);
  const std::string out = Put("out.xml", "precious");
  const std::string line = "ulimit -f 1; exec '" + std::string(LUMORA_COMMAND) + "' write '" + in +
                           "' -o '" + out + "' 2>'" + Path("err") + "'";
  const int raw = std::system(("sh -c \"" + line + "\"").c_str());
  ASSERT_TRUE(WIFEXITED(raw)) << "killed by a signal";
  EXPECT_EQ(WEXITSTATUS(raw), 3);
  EXPECT_EQ(ReadFile(Path("err")), out + ": error: cannot write file: File too large\n");
  EXPECT_EQ(ReadFile(out), "precious");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"err", "in.xml", "out.xml"}));
}

// Interrupted while its temporary file exists, the command removes the
// file and still dies of the signal; OUT stays as it was.
TEST_F(WriteTest, AnInterruptedWriteLeavesNoTemporaryFile) {
  const std::string out = Put("out.xml", "precious");
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      cli::TReplacementFile file(out);
      file.Stream().WriteString("<half");
      ::raise(signal);
      ::_exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
        << "signal " << signal;
    EXPECT_EQ(ReadFile(out), "precious");
  }
  // Given up without a signal, it goes as well, and the handlers go with it.
  { cli::TReplacementFile file(out); }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST_F(WriteTest, StandardOutputAndFormatting) {
  const std::string in = Put("in.xml", "<list><item>one</item><item>two</item></list>");
  auto r = RunCli({"write", in, "-o", "-"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Out.starts_with("<?xml version = \"1.0\"")) << r.Out;
  EXPECT_NE(r.Out.find("\r\n   <item>one</item>"), std::string::npos) << r.Out;

  r = RunCli({"write", in, "-o", "-", "--no-format"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("<list>\r\n<item>one</item>\r\n<item>two"), std::string::npos) << r.Out;

  r = RunCli({"write", in, "-o", "-", "--encoding", "UTF-16", "--little-endian", "--verbose"});
  EXPECT_TRUE(r.Out.starts_with("\xFF\xFE<")) << "the byte-order mark goes to stdout as well";
  // The summary goes to stderr so that it cannot mix with the document.
  EXPECT_EQ(r.Err, "<stdout>: written (UTF-16 little-endian, mode standard)\n");
}

// Standard output and devices are written as the document is encoded, not
// once it is complete: the bytes are those a file gets, whatever the size.
TEST_F(WriteTest, StandardOutputAndDevicesGetTheBytesAFileGets) {
  std::string bytes = "<list>";
  for (int i = 0; i < 6000; ++i)
    bytes += "<item n=\"" + std::to_string(i) + "\">caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80</item>";
  bytes += "</list>";
  const std::string in = Put("in.xml", bytes);
  for (const char* encoding : {"UTF-8", "UTF-16", "ISO-8859-1", "Shift_JIS"}) {
    ASSERT_EQ(RunCli({"write", in, "-o", Path("file.xml"), "--encoding", encoding}).Status, 0);
    const std::string file = ReadFile(Path("file.xml"));
    ASSERT_GT(file.size(), 200'000u);
    const auto r = RunCli({"write", in, "-o", "-", "--encoding", encoding});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(r.Out == file) << encoding;
  }

  // A named pipe: what its reader gets, and nothing when a character would be lost.
  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto throughFifo = [&](const std::vector<std::string>& args, std::string& read) {
    std::atomic<bool> done = false;
    std::thread reader([&] {
      read = ReadFile(fifo);
      done = true;
    });
    const auto r = RunCli(args);
    // The reader waits for a writer: one that writes nothing, if need be.
    while (!done) {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        ::close(fd);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    reader.join();
    return r;
  };
  std::string read;
  auto r = throughFifo({"write", in, "-o", fifo, "--encoding", "UTF-16"}, read);
  EXPECT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(RunCli({"write", in, "-o", Path("file.xml"), "--encoding", "UTF-16"}).Status, 0);
  EXPECT_TRUE(read == ReadFile(Path("file.xml")));
  const std::string lossy = Put("lossy.xml", "<a><!-- \xE2\x80\x94 --></a>");
  r = throughFifo({"write", lossy, "-o", fifo, "--encoding", "ISO-8859-1"}, read);
  EXPECT_EQ(r.Status, 3);
  EXPECT_NE(r.Err.find("nothing written"), std::string::npos) << r.Err;
  EXPECT_EQ(read, "");
  r = throughFifo({"write", lossy, "-o", fifo, "--encoding", "ISO-8859-1", "--lossy"}, read);
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(read.find("<!-- _ -->"), std::string::npos) << read;
}

}  // namespace
}  // namespace lumora::testing
