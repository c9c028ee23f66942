// A document with a document type that the DTD tests fill through the model.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "dom/dom_testing.h"
#include "lumora/dom/character_data.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/sysutils.h"

namespace lumora::testing {

class DtdTest : public ::testing::Test {
 protected:
  DtdTest() {
    doc_.AssignParser(&parser_);
    doctype_ = doc_.SetDocumentType(TKaDocumentType::CreateDTD(u"a", &doc_));
  }

  TKaGEntityDecl* General(std::u16string_view name, std::u16string_view value) {
    auto decl = TKaGEntityDecl::CreateEntity(name, &doc_);
    TKaGEntityDecl* raw = decl.get();
    EXPECT_NE(doctype_->SetEntityDecl(std::move(decl)), nullptr);
    raw->SetValue(value);
    return raw;
  }
  TKaPEntityDecl* Parameter(std::u16string_view name, std::u16string_view value) {
    auto decl = TKaPEntityDecl::CreateEntity(name, &doc_);
    TKaPEntityDecl* raw = decl.get();
    EXPECT_NE(doctype_->SetEntityDecl(std::move(decl)), nullptr);
    raw->SetValue(value);
    return raw;
  }
  TKaCustomEntityDecl* External(std::u16string_view name, std::u16string_view system,
                                std::u16string_view notation = {}) {
    auto decl = TKaGEntityDecl::CreateEntity(name, &doc_);
    TKaGEntityDecl* raw = decl.get();
    EXPECT_NE(doctype_->SetEntityDecl(std::move(decl)), nullptr);
    raw->SetInternal(false);
    raw->SetSystemLiteral(system);
    if (!notation.empty()) {
      raw->SetUnparsed(true);
      raw->SetNotation(notation);
    }
    raw->Retrieve();
    return raw;
  }
  TKaAttDef* Attribute(std::u16string_view element, std::u16string_view name, uint8_t type,
                       uint8_t kind, std::u16string_view value = {}) {
    return doctype_->SetAttDef(element, TKaAttDef::CreateAttDef(name, type, value, kind, &doc_));
  }
  // The document type as the document writes it, in the given mode.
  std::string Doctype(TWriteMode mode) {
    doc_.SetWriteMode(mode);
    const std::string all = Written(doc_);
    return all.substr(all.find("<!DOCTYPE"));
  }

  PositionedParser parser_;
  TKaXMLDocument doc_;
  TKaDocumentType* doctype_;
};

}  // namespace lumora::testing
