// The base of every exception the library raises: an 8-bit (UTF-8) message
// set by the constructor, and a help context that applications may use.
#pragma once

#include <exception>
#include <string>

namespace lumora {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}

  const std::string& Message() const noexcept { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  int HelpContext() const noexcept { return FHelpContext; }
  void SetHelpContext(int context) noexcept { FHelpContext = context; }

  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
  int FHelpContext = 0;
};

// A string that is not a number (`StrToInt`).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An operating-system call that failed (`Win32Check`); carries errno.
class EOSError : public Exception {
 public:
  EOSError(std::string message, int errorCode)
      : Exception(std::move(message)), FErrorCode(errorCode) {}
  int ErrorCode() const noexcept { return FErrorCode; }

 private:
  int FErrorCode;
};

// A file that cannot be created or opened for a stream.
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// A stream that took fewer bytes than it was given (a full disk, a closed
// pipe): the written data is incomplete.
class EWriteError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace lumora
