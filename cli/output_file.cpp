#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace lumora::cli {
namespace {

namespace fs = std::filesystem;

// The temporary file that a deadly signal removes. The command writes one
// file at a time; the handler may only touch these two.
char gTemporary[PATH_MAX];
volatile sig_atomic_t gArmed = 0;

constexpr std::array<int, 3> kDeadly = {SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, kDeadly.size()> gPrevious;
struct sigaction gPreviousXfsz;

extern "C" void RemoveTemporaryAndDie(int signal) {
  if (gArmed) ::unlink(gTemporary);
  gArmed = 0;
  // The handler was reset to the default on entry: the signal, pending
  // until the handler returns, then ends the process as it would have.
  ::raise(signal);
}

// Holds the deadly signals back while the temporary file is created or
// given up, so that none finds it half registered.
class TSignalsHeld {
 public:
  TSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kDeadly) sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &FBefore);
  }
  ~TSignalsHeld() { ::sigprocmask(SIG_SETMASK, &FBefore, nullptr); }

 private:
  sigset_t FBefore;
};

void Arm(const std::string& temporary) {
  std::memcpy(gTemporary, temporary.c_str(), temporary.size() + 1);
  gArmed = 1;
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndDie;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (size_t i = 0; i < kDeadly.size(); ++i) ::sigaction(kDeadly[i], &action, &gPrevious[i]);
  // Past the file-size limit, write() then fails with EFBIG and the write
  // is reported and undone like any other failure.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, &gPreviousXfsz);
}

void Disarm() {
  gArmed = 0;
  for (size_t i = 0; i < kDeadly.size(); ++i) ::sigaction(kDeadly[i], &gPrevious[i], nullptr);
  ::sigaction(SIGXFSZ, &gPreviousXfsz, nullptr);
}

[[noreturn]] void Fail(int error) {
  throw EOutputError(std::strerror(error));
}

}  // namespace

int64_t TDescriptorStream::Write(const void* buffer, int64_t count) {
  const char* bytes = static_cast<const char*>(buffer);
  int64_t written = 0;
  while (written < count && FError == 0) {
    const ssize_t n = ::write(FFd, bytes + written, static_cast<size_t>(count - written));
    if (n > 0) {
      written += n;
    } else if (n < 0 && errno != EINTR) {
      FError = errno;
    } else if (n == 0) {
      FError = EIO;
    }
  }
  return written;
}

int64_t TOstreamStream::Write(const void* buffer, int64_t count) {
  if (!FOut) return 0;
  FOut.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
  return FOut ? count : 0;
}

int64_t TDescriptorStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  return ::lseek(FFd, offset, whence);
}

void TDescriptorStream::SetSize(int64_t newSize) {
  if (::ftruncate(FFd, newSize) != 0) Fail(errno);
}

TReplacementFile::TReplacementFile(const std::string& output) {
  std::error_code ec;
  const fs::file_status status = fs::status(output, ec);
  const bool exists = fs::exists(status);
  // Through a symbolic link, the file it points to is replaced.
  const fs::path target = exists ? fs::canonical(output, ec) : fs::path(output);
  if (exists && ec) Fail(ec.value());
  FTarget = target.string();
  if (exists) {
    FPermissions = static_cast<unsigned>(status.permissions() & fs::perms::all);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    FPermissions = 0666 & ~mask;
  }
  // A short name, so that every name OUT may have leaves room for it.
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string temporary = (folder / ".lumoraXXXXXX").string();
  if (temporary.size() >= sizeof gTemporary) Fail(ENAMETOOLONG);

  TSignalsHeld held;
  FFd = ::mkstemp(temporary.data());
  if (FFd < 0) Fail(errno);
  ::fcntl(FFd, F_SETFD, FD_CLOEXEC);
  FTemporary = std::move(temporary);
  FStream.SetDescriptor(FFd);
  Arm(FTemporary);
}

TReplacementFile::~TReplacementFile() {
  Discard();
}

void TReplacementFile::Commit() {
  if (FFd < 0) Fail(EBADF);
  if (::fchmod(FFd, static_cast<mode_t>(FPermissions)) != 0 || ::fsync(FFd) != 0) Fail(errno);
  const int fd = FFd;
  FFd = -1;
  // Some file systems report a failed write only when the file is closed.
  if (::close(fd) != 0) Fail(errno);
  TSignalsHeld held;
  if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0) Fail(errno);
  FTemporary.clear();
  Disarm();
}

void TReplacementFile::Discard() {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  if (FTemporary.empty()) return;
  TSignalsHeld held;
  ::unlink(FTemporary.c_str());
  FTemporary.clear();
  Disarm();
}

}  // namespace lumora::cli
