// Helpers for the parser tests: parse text held in memory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/framework/stream.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/orvane.h"

namespace lumora::testing {

// The messages of the errors a validation collected, in order.
inline std::vector<std::string> ValidityMessages(const TKaOrvane& parser) {
  std::vector<std::string> messages;
  for (const TKaError* e : parser.GetErrors()) messages.push_back(e->GetMessage());
  return messages;
}

inline std::unique_ptr<TKaXMLDocument> ParseText(TKaOrvane& parser, const std::string& bytes) {
  TStringStream stream(bytes);
  std::unique_ptr<TKaXMLDocument> doc;
  parser.Parse(stream, doc);
  return doc;
}

inline std::unique_ptr<TKaXMLDocument> ParseText(const std::string& bytes, bool standard = false) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(standard);
  auto doc = ParseText(parser, bytes);
  doc->AssignParser(nullptr);
  return doc;
}

// The error a parse of bytes raises; fails the test when it raises none.
inline EKaOrvaneError ParseError(TKaOrvane& parser, const std::string& bytes) {
  try {
    ParseText(parser, bytes);
  } catch (const EKaOrvaneError& e) {
    return e;
  }
  ADD_FAILURE() << "no error for: " << bytes;
  return EKaOrvaneError("");
}

inline EKaOrvaneError ParseError(const std::string& bytes, bool standard = false) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(standard);
  return ParseError(parser, bytes);
}

}  // namespace lumora::testing
