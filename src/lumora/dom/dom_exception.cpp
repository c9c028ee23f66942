#include "lumora/dom/dom_exception.h"

namespace lumora {

EKaDOMException::EKaDOMException(uint8_t Code, const std::string& Msg)
    : Exception(Msg), FCode(Code), FDOMMessage("XML-DOM [" + ErrCodeToString(Code) + "]: " + Msg) {}

std::string EKaDOMException::ErrCodeToString(uint8_t code) {
  static const char* const kNames[] = {
      "",
      "INDEX_SIZE_ERR",
      "DOMSTRING_SIZE_ERR",
      "HIERARCHY_REQUEST_ERR",
      "WRONG_DOCUMENT_ERR",
      "INVALID_CHARACTER_ERR",
      "NO_DATA_ALLOWED_ERR",
      "NO_MODIFICATION_ALLOWED_ERR",
      "NOT_FOUND_ERR",
      "NOT_SUPPORTED_ERR",
      "INUSE_ATTRIBUTE_ERR",
      "",
      "INVALID_POINTER_ERR",
  };
  return code < std::size(kNames) ? kNames[code] : "";
}

}  // namespace lumora
