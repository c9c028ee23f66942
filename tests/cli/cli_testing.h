// Helpers for the tests of the `lumora` command: run it in-process or as a
// process, and keep scratch files in a folder of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli.h"

namespace lumora::testing {

struct TResult {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// The command run in-process with these arguments.
inline TResult RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  TResult result;
  result.Status = cli::Run(args, out, err);
  result.Out = out.str();
  result.Err = err.str();
  return result;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::filesystem::path Example(const std::string& name) {
  return std::filesystem::path(LUMORA_SOURCE_DIR) / "examples" / name;
}

// A fresh folder per test, removed afterwards.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ =
        std::filesystem::temp_directory_path() / ("lumora-cli-" + std::to_string(::getpid()) + "-" +
                                                  info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Put(const std::string& name, const std::string& bytes) const {
    WriteFile(dir_ / name, bytes);
    return Path(name);
  }

  // The built executable run through the shell: command is appended to its
  // path and may hold redirections.
  TResult Exec(const std::string& command) const {
    const std::string out = Path("exec.out"), err = Path("exec.err");
    const std::string line =
        std::string("'") + LUMORA_COMMAND + "' " + command + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(line.c_str());
    TResult result;
    result.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.Out = ReadFile(out);
    result.Err = ReadFile(err);
    return result;
  }

  // Each document, checked by the executable, ends with status 2 and an
  // error of its first line that holds the message.
  void ExpectEachEndsWithError(
      const std::vector<std::pair<std::string, std::string>>& documentsAndMessages) const {
    for (const auto& [document, message] : documentsAndMessages) {
      SCOPED_TRACE(document.substr(0, 100));
      const std::string file = Put("doc.xml", document);
      const auto r = Exec("check '" + file + "'");
      EXPECT_EQ(r.Status, 2) << r.Err;
      EXPECT_TRUE(r.Err.starts_with(file + ":1:")) << r.Err;
      EXPECT_NE(r.Err.find("error: " + message), std::string::npos) << r.Err;
    }
  }

  std::filesystem::path dir_;
};

}  // namespace lumora::testing
