// The exception of syntax errors and of failures that make further parsing
// pointless. The message never holds the line or the file name: they travel
// in the fields, for the code that catches the exception to read.
#pragma once

#include <cstdint>
#include <string>

#include "lumora/framework/exception.h"

namespace lumora {

class EKaOrvaneError : public Exception {
 public:
  // Message only: both lines 0, no file name.
  explicit EKaOrvaneError(std::string message) : Exception(std::move(message)) {}

  static EKaOrvaneError CreateXMLError(const std::string& message, int32_t line);
  static EKaOrvaneError CreateWithFileName(const std::string& message, const std::string& fileName,
                                           int32_t line);
  // For errors inside a general entity's replacement text: line is where the
  // entity is referenced, extLine the line inside the replacement text.
  static EKaOrvaneError CreateWithExtFileName(const std::string& message,
                                              const std::string& fileName, int32_t line,
                                              int32_t extLine);
  // The position of the offending token: line and column count from 1, the
  // column in characters (a surrogate pair is one).
  static EKaOrvaneError CreateAt(const std::string& message, const std::string& fileName,
                                 int32_t line, int32_t column);

  int32_t GetLine() const { return FLine; }
  int32_t GetExtLine() const { return FExtLine; }
  // 0 when the position within the line is not known.
  int32_t GetColumn() const { return FColumn; }
  void SetColumn(int32_t column) { FColumn = column; }
  const std::string& GetFileName() const { return FFileName; }

 private:
  int32_t FLine = 0;
  int32_t FExtLine = 0;
  int32_t FColumn = 0;
  std::string FFileName;
};

}  // namespace lumora
