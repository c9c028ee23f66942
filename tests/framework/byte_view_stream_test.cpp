// A stream over bytes it does not own: reads them in any pieces, from any
// position, and never writes into them.
#include <gtest/gtest.h>

#include <string>

#include "lumora/framework/exception.h"
#include "lumora/framework/stream.h"

namespace lumora {
namespace {

TEST(ByteViewStream, ReadsTheBytesInPiecesAndNeverChangesThem) {
  const std::string bytes("<a>\0b</a>", 9);
  TByteViewStream stream(bytes);
  EXPECT_EQ(stream.Size(), 9);
  char piece[4];
  EXPECT_EQ(stream.Read(piece, 4), 4);
  EXPECT_EQ(std::string(piece, 4), std::string("<a>\0", 4));
  EXPECT_EQ(stream.Read(piece, 4), 4);
  EXPECT_EQ(stream.Read(piece, 4), 1) << "the last piece is cut at the end";
  EXPECT_EQ(stream.Read(piece, 4), 0);

  EXPECT_EQ(stream.Seek(-2, TSeekOrigin::soEnd), 7);
  EXPECT_EQ(stream.Read(piece, 4), 2);
  EXPECT_EQ(std::string(piece, 2), "a>");
  EXPECT_EQ(stream.Seek(-1, TSeekOrigin::soBeginning), -1);
  stream.SetPosition(20);
  EXPECT_EQ(stream.Read(piece, 4), 0) << "past the end reads nothing";

  EXPECT_EQ(stream.Write("xy", 2), 0);
  EXPECT_THROW(stream.WriteString("xy"), EWriteError);
  EXPECT_THROW(stream.SetSize(0), EWriteError);
  EXPECT_EQ(stream.Size(), 9);
  EXPECT_EQ(bytes, std::string("<a>\0b</a>", 9));
}

}  // namespace
}  // namespace lumora
