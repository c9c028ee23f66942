// Loopback HTTP and FTP servers for the tests, run by loopback_server.py:
// started on a free port, killed when the object goes.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace lumora::testing {

// A python3 that can run the server of this kind ("http" or "ftp", which
// needs pyftpdlib); empty when there is none.
inline std::string PythonFor(const std::string& kind) {
  const std::string probe = kind == "ftp" ? "import pyftpdlib" : "import http.server";
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    const std::string line = std::string(python) + " -c '" + probe + "' >/dev/null 2>&1";
    if (std::system(line.c_str()) == 0) return python;
  }
  return {};
}

class TLoopbackServer {
 public:
  // Starts a server of this kind serving Root; LogFile (http only) receives
  // every request line. Port() is 0 when it could not start.
  TLoopbackServer(const std::string& kind, const std::string& root,
                  const std::string& logFile = {}) {
    const std::string python = PythonFor(kind);
    if (python.empty()) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> args = {python, LUMORA_TEST_IO_DIR "/loopback_server.py", kind, root};
    if (kind == "http") args.push_back(logFile.empty() ? root + "/.requests" : logFile);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned =
        posix_spawnp(&FPid, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
      FPid = -1;
      close(fds[0]);
      return;
    }
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(fds[0]);
    FPort = std::atoi(line.c_str());
  }
  ~TLoopbackServer() {
    if (FPid > 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
  }
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  int Port() const { return FPort; }
  std::string Url(const std::string& scheme, const std::string& path) const {
    return scheme + "://127.0.0.1:" + std::to_string(FPort) + path;
  }

 private:
  pid_t FPid = -1;
  int FPort = 0;
};

}  // namespace lumora::testing
