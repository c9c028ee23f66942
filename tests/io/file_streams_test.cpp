#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "lumora/framework/exception.h"
#include "lumora/io/file_streams.h"

namespace lumora {
namespace {

class FileStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lumora-streams-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string File(const char* name) const { return (dir_ / name).string(); }
  static std::string Content(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void ExpectCreateError(const std::string& name, uint32_t access, uint32_t disposition) {
    try {
      TXMLFileStream stream(name, access, FILE_SHARE_READ, disposition, FILE_ATTRIBUTE_NORMAL);
      ADD_FAILURE() << "opened " << name;
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message(), "Error creating file stream for " + name);
    }
  }

  std::filesystem::path dir_;
};

TEST_F(FileStreams, WriteReplaceAndTruncate) {
  const std::string name = File("out.xml");
  {
    auto out = TXMLFileStream::CreateForWriting(name);
    out->WriteString("first content");
    EXPECT_EQ(out->GetPosition(), 13);
    EXPECT_EQ(out->Size(), 13);
  }
  EXPECT_EQ(Content(name), "first content");
  {
    auto out = TXMLFileStream::CreateForWriting(name);  // an existing file is replaced
    EXPECT_EQ(out->Size(), 0);
    out->WriteString("abcdef");
    out->SetSize(3);
    EXPECT_EQ(out->GetPosition(), 3);
    out->WriteString("Z");
  }
  EXPECT_EQ(Content(name), "abcZ");
  {
    auto out = TXMLFileStream::CreateForWriting(name);
    out->WriteString("x");
    out->SetSize(0);
  }
  EXPECT_EQ(Content(name), "");
}

TEST_F(FileStreams, ReadSeekAndTheirFailures) {
  const std::string name = File("in.xml");
  std::ofstream(name, std::ios::binary) << "0123456789";
  auto in = TXMLFileStream::OpenForReading(name);
  char buffer[16] = {};
  EXPECT_EQ(in->Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(in->Seek(-2, TSeekOrigin::soEnd), 8);
  EXPECT_EQ(in->Read(buffer, 16), 2);
  EXPECT_EQ(in->Read(buffer, 16), 0);  // at the end
  EXPECT_EQ(in->Seek(-1, TSeekOrigin::soBeginning), -1);
  EXPECT_EQ(in->Seek(3, TSeekOrigin::soBeginning), 3);
  EXPECT_EQ(in->Read(buffer, -5), 0);
  // A stream opened for reading refuses to write: 0 bytes, no exception.
  EXPECT_EQ(in->Write("x", 1), 0);
  EXPECT_THROW(in->SetSize(0), EOSError);
  EXPECT_EQ(Content(name), "0123456789");

  // A handle stream does not own its handle and reports failures as 0 / -1.
  const int fd = ::open(name.c_str(), O_RDONLY);
  {
    TXMLHandleStream handle(fd);
    EXPECT_EQ(handle.Read(buffer, 3), 3);
    EXPECT_EQ(handle.GetHandle(), fd);
  }
  EXPECT_EQ(::close(fd), 0);  // still open after the stream is gone
  TXMLHandleStream closed(fd);
  EXPECT_EQ(closed.Read(buffer, 3), 0);
  EXPECT_EQ(closed.Write("x", 1), 0);
  EXPECT_EQ(closed.Seek(0, TSeekOrigin::soCurrent), -1);
}

TEST_F(FileStreams, FilesThatCannotBeOpenedRaiseWithTheirName) {
  ExpectCreateError(File("missing/dir/out.xml"), GENERIC_WRITE, CREATE_ALWAYS);
  ExpectCreateError(File("absent.xml"), GENERIC_READ, OPEN_EXISTING);
  ExpectCreateError(File("absent.xml"), GENERIC_WRITE, TRUNCATE_EXISTING);
  ExpectCreateError(dir_.string(), GENERIC_READ, OPEN_EXISTING);  // a directory
  ExpectCreateError("", GENERIC_WRITE, CREATE_ALWAYS);
  const std::string name = File("there.xml");
  TXMLFileStream(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL).WriteString("a");
  ExpectCreateError(name, GENERIC_WRITE, CREATE_NEW);
  {
    TXMLFileStream again(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, 0);
    again.Seek(0, TSeekOrigin::soEnd);
    again.WriteString("b");
  }
  EXPECT_EQ(Content(name), "ab");
}

TEST_F(FileStreams, ReadOnlyAttributeMakesAReadOnlyFile) {
  const std::string name = File("ro.xml");
  TXMLFileStream(name, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY).WriteString("r");
  struct stat info;
  ASSERT_EQ(::stat(name.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0222, 0u);
  EXPECT_EQ(Content(name), "r");
}

}  // namespace
}  // namespace lumora
