#include "lumora/io/orvane_error.h"

namespace lumora {

EKaOrvaneError EKaOrvaneError::CreateXMLError(const std::string& message, int32_t line) {
  EKaOrvaneError error(message);
  error.FLine = line;
  return error;
}

EKaOrvaneError EKaOrvaneError::CreateWithFileName(const std::string& message,
                                                  const std::string& fileName, int32_t line) {
  EKaOrvaneError error = CreateXMLError(message, line);
  error.FFileName = fileName;
  return error;
}

EKaOrvaneError EKaOrvaneError::CreateWithExtFileName(const std::string& message,
                                                     const std::string& fileName, int32_t line,
                                                     int32_t extLine) {
  EKaOrvaneError error = CreateWithFileName(message, fileName, line);
  error.FExtLine = extLine;
  return error;
}

EKaOrvaneError EKaOrvaneError::CreateAt(const std::string& message, const std::string& fileName,
                                        int32_t line, int32_t column) {
  EKaOrvaneError error = CreateWithFileName(message, fileName, line);
  error.FColumn = column;
  return error;
}

}  // namespace lumora
