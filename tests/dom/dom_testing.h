// Helpers shared by the DOM tests: whole written documents, expected
// failures, and a parser whose reading position the tests choose.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/framework/stream.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/orvane.h"

namespace lumora::testing {

// The bytes WriteToStream gives for doc.
inline std::string Written(TKaXMLDocument& doc) {
  TStringStream out;
  doc.WriteToStream(out);
  return out.DataString();
}

// The declaration a new document writes before its nodes.
inline const std::string kDecl = "<?xml version = \"1.0\"?>\r\n";

// Runs action, expects an EKaDOMException with that code and message.
inline void ExpectDOMError(const std::function<void()>& action, uint8_t code,
                           const std::string& message) {
  try {
    action();
  } catch (const EKaDOMException& e) {
    EXPECT_EQ(e.GetCode(), code) << e.Message();
    EXPECT_EQ(e.Message(), message);
    return;
  }
  ADD_FAILURE() << "no EKaDOMException (" << message << ")";
}

// Runs action, expects an EKaOrvaneError; returns it for a look at its fields.
inline EKaOrvaneError ExpectOrvaneError(const std::function<void()>& action,
                                        const std::string& message) {
  try {
    action();
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.Message(), message);
    return e;
  }
  ADD_FAILURE() << "no EKaOrvaneError (" << message << ")";
  return EKaOrvaneError("");
}

// A parser component that stands at a chosen line of a chosen file.
class PositionedParser : public TKaOrvane {
 public:
  explicit PositionedParser(int line = 0, std::string file = {}) : TKaOrvane(nullptr) {
    FLine = line;
    FFileName = std::move(file);
  }
};

}  // namespace lumora::testing
