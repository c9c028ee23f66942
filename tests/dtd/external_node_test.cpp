// ReadExternalFile: the owner document's parser decides what may be read
// and hears of what could not be.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/resource_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/notation.h"
#include "lumora/framework/sysutils.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

class ReadExternalFile : public testing::ResourceTest {
 protected:
  void SetUp() override {
    ResourceTest::SetUp();
    parser_.SetCatalogFiles({});
    parser_.SetOnFileNotFound([this](TObject* sender, const std::string& name) {
      EXPECT_EQ(sender, node_.get());
      missing_.push_back(name);
    });
    // The parse leaves the document's file name with the parser.
    const std::string file = Put("docs/doc.xml", "<doc/>");
    parser_.Parse(file, doc_);
    node_ = TKaNotation::CreateNotation(u"n", doc_.get());
    // The names below resolve from the document's folder, not from here.
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    node_.reset();
    doc_.reset();
    ResourceTest::TearDown();
  }
  std::string Read(std::u16string_view system, std::u16string_view publicId = {}) {
    node_->StoreSystemLiteral(system);
    node_->SetPublicLiteral(publicId);
    TResource resource;
    return node_->ReadExternalFile(resource) ? resource.Bytes : "<none>";
  }

  TKaOrvane parser_{nullptr};
  std::unique_ptr<TKaXMLDocument> doc_;
  std::unique_ptr<TKaNotation> node_;
  std::vector<std::string> missing_;
  std::filesystem::path previous_;
};

TEST_F(ReadExternalFile, ResolvesFromTheDeclaringResourceAndReportsEachFailureOnceAsWritten) {
  Put("docs/Book.dtd", "book");
  Put("dtds/other.dtd", "other");
  EXPECT_EQ(Read(u"Book.dtd"), "book");
  node_->SetBaseLocation(Path("dtds/main.dtd"));
  EXPECT_EQ(Read(u"other.dtd"), "other");
  node_->SetBaseLocation({});
  EXPECT_TRUE(missing_.empty());

  EXPECT_EQ(Read(u" Missing.DTD "), "<none>");
  EXPECT_EQ(Read(u"", u"-//X//DTD Only Public//EN"), "<none>");
  EXPECT_EQ(missing_, (std::vector<std::string>{" Missing.DTD ", "-//X//DTD Only Public//EN"}));
}

TEST_F(ReadExternalFile, WhatTheParserForbidsIsNotReadAndIsReported) {
  Put("docs/Book.dtd", "book");
  parser_.SetAllowLocalFiles(false);
  EXPECT_EQ(Read(u"Book.dtd"), "<none>");
  parser_.SetAllowLocalFiles(true);
  parser_.SetRetrieveInternetURI(false);
  EXPECT_EQ(Read(u"http://127.0.0.1:9/x.dtd"), "<none>");
  EXPECT_EQ(missing_, (std::vector<std::string>{"Book.dtd", "http://127.0.0.1:9/x.dtd"}));
}

TEST_F(ReadExternalFile, TheStreamFormAppendsTheBytes) {
  Put("docs/Book.dtd", "book");
  node_->StoreSystemLiteral(u"Book.dtd");
  TStringStream stream("<");
  stream.Seek(0, TSeekOrigin::soEnd);
  EXPECT_TRUE(node_->ReadExternalFile(stream));
  EXPECT_EQ(stream.DataString(), "<book");
}

}  // namespace
}  // namespace lumora
