// What the command reads and prints: each input read once, from files,
// pipes and standard input alike, and nothing printed that a terminal
// would take as a command.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "cli_testing.h"
#include "lumora/io/orvane_error.h"
#include "messages.h"
#include "progress.h"

namespace lumora::testing {
namespace {

namespace fs = std::filesystem;

using InputOutputTest = CliTest;

TEST_F(InputOutputTest, ANamedPipeIsReadOnceAndTheVerdictIsItsContent) {
  const std::string fifo = Path("doc.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The writer feeds the pipe once; a second open would wait for ever, so
  // the command runs under a time limit.
  for (const auto& [bytes, status] :
       std::vector<std::pair<std::string, int>>{{"<a>fine</a>", 0}, {"<a>\n<b></a>", 2}}) {
    const std::string doc = Put("doc.xml", bytes);
    const std::string line = "(cat '" + doc + "' >'" + fifo + "' &) ; timeout 20 '" +
                             LUMORA_COMMAND + "' check '" + fifo + "' 2>'" + Path("err") + "'";
    const int raw = std::system(line.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), status) << bytes << "\n" << ReadFile(Path("err"));
    if (status == 2) {
      EXPECT_TRUE(ReadFile(Path("err")).starts_with(fifo + ":2:"));
    }
  }
}

TEST_F(InputOutputTest, LargeInputsFromPipesAndFilesReadWhole) {
  // Several read chunks' worth, so that growing the buffer is exercised.
  std::string bytes = "<list>";
  for (int i = 0; i < 150'000; ++i) bytes += "<item n=\"" + std::to_string(i) + "\"/>";
  bytes += "</list>";
  const std::string file = Put("big.xml", bytes);
  EXPECT_EQ(Exec("check --verbose - <'" + file + "'").Out,
            "<stdin>: well-formed (UTF-8, 150001 elements, 150000 attributes)\n");
  EXPECT_EQ(Exec("check --verbose '" + file + "'").Status, 0);
  EXPECT_EQ(Exec("check - <'" + file + "' ").Status, 0);
  const auto piped = Exec("find - 149999 --values < '" + file + "'");
  EXPECT_EQ(piped.Out, "ATTRIBUTE_NODE\tn\t149999\n");
  // A pipe cannot go back: the parser's look at the head of the input is
  // kept, also for an encoding read through iconv.
  const auto throughCat = [this](const std::string& path) {
    const std::string line = "cat '" + path + "' | '" + LUMORA_COMMAND + "' check --verbose - >'" +
                             Path("piped") + "'";
    EXPECT_EQ(std::system(line.c_str()), 0);
    return ReadFile(Path("piped"));
  };
  EXPECT_EQ(throughCat(file), "<stdin>: well-formed (UTF-8, 150001 elements, 150000 attributes)\n");
  std::string latin = "<?xml version='1.0' encoding='windows-1252'?>\n<list>";
  for (int i = 0; i < 50'000; ++i) latin += "<i>\x80 \xE9</i>";
  const std::string latinFile = Put("latin.xml", latin + "</list>");
  EXPECT_EQ(throughCat(latinFile), "<stdin>: well-formed (windows-1252, 50001 elements, 0 attributes)\n");
  // Cut short, it is not well-formed, whichever way it comes.
  const std::string cut = Put("cut.xml", bytes.substr(0, bytes.size() - 3));
  EXPECT_EQ(Exec("check - <'" + cut + "'").Status, 2);
}

TEST_F(InputOutputTest, AnInputIsReadOnlyAsFarAsTheParseGoes) {
  // The writer keeps the pipe open well past the time limit: the verdict
  // comes from the first block, without waiting for the end.
  const std::string fifo = Path("slow.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string line = "((printf '<a>\\n<b>\\n</c>'; head -c 300000 /dev/zero | tr '\\0' ' '; "
                           "sleep 8) >'" + fifo + "' &) ; timeout 4 '" + LUMORA_COMMAND +
                           "' check '" + fifo + "' 2>'" + Path("err") + "'";
  const int raw = std::system(line.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_TRUE(ReadFile(Path("err")).starts_with(fifo + ":3:")) << ReadFile(Path("err"));
}

TEST_F(InputOutputTest, OpenAndReadFailuresGiveTheSystemsReason) {
  const std::string locked = Put("locked.xml", "<a/>");
  ::chmod(locked.c_str(), 0);
  if (::geteuid() != 0) {
    const auto r = RunCli({"check", locked});
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Err, locked + ": error: cannot read file: Permission denied\n");
  }
  EXPECT_EQ(RunCli({"check", Path("none.xml")}).Err,
            Path("none.xml") + ": error: cannot read file: No such file or directory\n");
  // Opens as a regular file, and fails at the first read, inside the parse.
  if (fs::exists("/proc/self/mem")) {
    EXPECT_EQ(RunCli({"check", "/proc/self/mem"}).Err,
              "/proc/self/mem: error: cannot read file: Input/output error\n");
  }
}

TEST_F(InputOutputTest, ASlowInputShowsProgressOnATerminalOnly) {
  const std::string fifo = Path("slow.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string writer = "(printf '<a>'; head -c 200000 /dev/zero | tr '\\0' ' '; sleep 1.5; "
                             "printf '</a>') >'" + fifo + "' &";
  ASSERT_EQ(std::system(writer.c_str()), 0);
  std::ostringstream out, err, terminal;
  EXPECT_EQ(cli::Run({"check", fifo}, out, err, &terminal), 0);
  EXPECT_EQ(err.str(), "");
  const std::string shown = terminal.str();
  EXPECT_TRUE(shown.starts_with("\r\x1b[Klumora: " + fifo + ": 0.")) << shown;
  EXPECT_TRUE(shown.ends_with(" MB\r\x1b[K")) << shown;
  // The command itself draws nothing when its standard error is a file.
  ASSERT_EQ(std::system(writer.c_str()), 0);
  const TResult r = Exec("check '" + fifo + "'");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "");
}

TEST(ProgressTest, BytesReadOfTheTotalWhenKnown) {
  const struct {
    int64_t Done, Total;
    const char* Text;
  } cases[] = {
      {21'300'000, 50'000'000, "lumora: big.xml: 42% (21.3 of 50.0 MB)"},
      {0, 50'000'000, "lumora: big.xml: 0% (0.0 of 50.0 MB)"},
      {50'000'000, 50'000'000, "lumora: big.xml: 100% (50.0 of 50.0 MB)"},
      // A file that grew while it was read.
      {60'000'000, 50'000'000, "lumora: big.xml: 100% (60.0 of 50.0 MB)"},
      // A pipe, or a file that was empty when opened.
      {2'460'000, -1, "lumora: big.xml: 2.5 MB"},
      {1'000, 0, "lumora: big.xml: 0.0 MB"},
  };
  for (const auto& c : cases) EXPECT_EQ(cli::ProgressText("big.xml", c.Done, c.Total), c.Text);
}

// Control characters from a document or a file name reach the terminal
// only as text.
TEST_F(InputOutputTest, PrintedTextCannotControlTheTerminal) {
  // C1 controls and DEL are XML characters: find prints them escaped.
  const std::string c1 = Put("c1.xml",
                             "<a w=\"\xC2\x9B"
                             "31m \x7F tab\there\"/>");
  auto r = RunCli({"find", c1, "tab", "--values"});
  EXPECT_EQ(r.Status, 0);
  // The tab became a space, as in every attribute value.
  EXPECT_EQ(r.Out, "ATTRIBUTE_NODE\tw\t\\x9B31m \\x7F tab here\n");
  // ESC and BEL: whether the document is taken or refused, neither reaches
  // the terminal raw.
  const std::string title = Put("title.xml", "<a v=\"x\x1B]0;owned\x07\"/>");
  r = RunCli({"find", title, "x", "--values"});
  EXPECT_EQ((r.Out + r.Err).find_first_of("\x1B\x07"), std::string::npos) << r.Out << r.Err;
  if (r.Status == 0) {
    EXPECT_EQ(r.Out, "ATTRIBUTE_NODE\tv\tx\\x1B]0;owned\\x07\n");
  }

  // The file name, and document text quoted in a message.
  const std::string name = Put("bell\x07\x1B[2J.xml", "<a>\n<b\x1B[2J></a>");
  r = RunCli({"check", name});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err.find('\x1B'), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find('\x07'), std::string::npos) << r.Err;
  EXPECT_TRUE(r.Err.starts_with(Path("bell\\x07\\x1B[2J.xml") + ":")) << r.Err;
  r = RunCli({"check", Path("gone\x1B.xml")});
  EXPECT_EQ(r.Err,
            Path("gone\\x1B.xml") + ": error: cannot read file: No such file or directory\n");
  r = RunCli({"check", "--bogus\x1B"});
  EXPECT_EQ(r.Err.find('\x1B'), std::string::npos) << r.Err;
}

TEST(PrintableTest, EscapesControlsAndBrokenBytesOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain text, Zo\xC3\xAB \xE2\x80\x94 \xF0\x9F\x98\x80",
       "plain text, Zo\xC3\xAB \xE2\x80\x94 \xF0\x9F\x98\x80"},
      {"a\tb\nc\rd\\e", "a\\tb\\nc\\rd\\\\e"},
      {std::string("\0\x01\x1B\x1F\x7F", 5), "\\x00\\x01\\x1B\\x1F\\x7F"},
      {"\xC2\x80\xC2\x9F\xC2\xA0", "\\x80\\x9F\xC2\xA0"},  // C1 controls; U+00A0 is not one
      {"\x9B\xFF\xC3", "\\x9B\\xFF\\xC3"},                 // bytes outside any UTF-8 sequence
  };
  for (const auto& [in, expected] : cases)
    EXPECT_EQ(cli::Printable(std::string_view(in)), expected);
}

TEST(MessageFormTest, ColumnFollowsTheLineWhenKnown) {
  struct Case {
    EKaOrvaneError error;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {EKaOrvaneError::CreateAt("Unexpected end of file.", "f.xml", 3, 7),
       "f.xml:3:7: error: Unexpected end of file.\n"},
      {EKaOrvaneError::CreateWithFileName("Bad.", "f.xml", 3), "f.xml:3: error: Bad.\n"},
      {EKaOrvaneError("No position."), "in.xml: error: No position.\n"},
      {EKaOrvaneError::CreateWithExtFileName("Bad.", "f.xml", 12, 2),
       "f.xml:12: error: Bad. (line 2 of the entity's replacement text)\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    cli::TReporter report(err);
    report.SyntaxError("in.xml", c.error);
    EXPECT_EQ(err.str(), c.expected);
    EXPECT_EQ(report.Status(), cli::kExitMalformed);
  }
}

TEST_F(InputOutputTest, SyntaxErrorsNameFileLineAndColumnWhenKnown) {
  const std::string bad = Put("bad.xml", "<a>\n  <b>text\n  </c>\n</a>\n");
  const auto r = RunCli({"check", bad});
  EXPECT_EQ(r.Status, 2);
  const std::regex shape(std::regex_replace(bad, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                         R"(:3(:[1-9][0-9]*)?: error: [^\n]+\n)");
  EXPECT_TRUE(std::regex_match(r.Err, shape)) << r.Err;
}

}  // namespace
}  // namespace lumora::testing
