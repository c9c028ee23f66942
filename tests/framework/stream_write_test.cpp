// WriteString: a stream that takes less than it is given (a full disk, a
// closed pipe) must not pass for a complete write.
#include <gtest/gtest.h>

#include "lumora/framework/exception.h"
#include "lumora/framework/stream.h"

namespace lumora {
namespace {

// Takes at most Room bytes in all.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int64_t room) : FRoom(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = std::min(count, FRoom);
    FRoom -= n;
    return TMemoryStream::Write(buffer, n);
  }

 private:
  int64_t FRoom;
};

TEST(StreamWriteTest, AShortWriteRaises) {
  TShortStream stream(5);
  EXPECT_NO_THROW(stream.WriteString("abc"));
  EXPECT_NO_THROW(stream.WriteString(""));
  EXPECT_THROW(stream.WriteString("defg"), EWriteError);
  EXPECT_EQ(stream.Size(), 5);
}

}  // namespace
}  // namespace lumora
