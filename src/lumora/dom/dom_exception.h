// The exception of every DOM operation: a code from the table below and a
// message naming the class and operation that failed.
#pragma once

#include <cstdint>
#include <string>

#include "lumora/framework/exception.h"

namespace lumora {

constexpr uint8_t INDEX_SIZE_ERR = 1;
constexpr uint8_t DOMSTRING_SIZE_ERR = 2;
constexpr uint8_t HIERARCHY_REQUEST_ERR = 3;
constexpr uint8_t WRONG_DOCUMENT_ERR = 4;
constexpr uint8_t INVALID_CHARACTER_ERR = 5;
constexpr uint8_t NO_DATA_ALLOWED_ERR = 6;
constexpr uint8_t NO_MODIFICATION_ALLOWED_ERR = 7;
constexpr uint8_t NOT_FOUND_ERR = 8;
constexpr uint8_t NOT_SUPPORTED_ERR = 9;
constexpr uint8_t INUSE_ATTRIBUTE_ERR = 10;
constexpr uint8_t INVALID_POINTER_ERR = 12;
// Codes without a name of their own.
constexpr uint8_t DUPLICATE_MIXED_NAME_ERR = 14;
constexpr uint8_t DUPLICATE_ATTRIBUTE_ERR = 15;

class EKaDOMException : public Exception {
 public:
  // The exception's message is Msg; FDOMMessage is "XML-DOM [name]: Msg".
  EKaDOMException(uint8_t Code, const std::string& Msg);

  uint8_t GetCode() const { return FCode; }
  const std::string& GetDOMMessage() const { return FDOMMessage; }
  // The name of the code; empty for codes without one.
  std::string ErrCodeToString() const { return ErrCodeToString(FCode); }
  static std::string ErrCodeToString(uint8_t code);

 private:
  uint8_t FCode;
  std::string FDOMMessage;
};

}  // namespace lumora
