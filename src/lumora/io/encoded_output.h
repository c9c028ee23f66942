// The way out of a write: the nodes write UTF-16 into this stream (code
// units low byte first, as WriteWide writes them), and it encodes the text
// into the output encoding as it comes, into a buffer of bounded size that
// goes to the target stream whenever it fills. A document of any size is
// written in the memory of the buffer.
//
// The bytes are those of converting the whole text at once (UnicodeToShort):
// a surrogate pair split between two writes is joined, the encoder's state
// carries over, and each character the encoding cannot represent becomes '_'
// and is recorded in invChars(). So is U+0000, which no encoding of a
// document can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lumora/framework/stream.h"
#include "lumora/text/code_pages.h"

namespace lumora {

class TIconvEncoder;

class TEncodedOutput final : public TStream {
 public:
  static constexpr size_t kBufferSize = 64 * 1024;
  static constexpr size_t kMinBufferSize = 16;

  // UTF_16 is written in order, without a byte-order mark; an encoding
  // without a table or an iconv charset is written as US-ASCII. bufferSize
  // below kMinBufferSize counts as kMinBufferSize.
  TEncodedOutput(TStream& target, TEncoding encoding, TByteOrder order = boLittleEndian,
                 size_t bufferSize = kBufferSize);
  // Bytes not yet handed on are dropped: only Finish completes the text.
  ~TEncodedOutput() override;
  TEncodedOutput(const TEncodedOutput&) = delete;
  TEncodedOutput& operator=(const TEncodedOutput&) = delete;

  void WriteText(std::u16string_view text) {
    // Most pieces are ASCII, and most of the rest begin with it: copied
    // here, without a call.
    if (FKind == TKind::kUtf8 && !FHighSurrogate && text.size() <= FCapacity - FUsed) {
      char* const to = FBuffer.get() + FUsed;
      const size_t size = text.size();
      size_t i = 0;
#if defined(__SSE2__)
      for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        // Signed: units from 0x8000 are below zero.
        const __m128i ascii = _mm_and_si128(_mm_cmpgt_epi16(v, _mm_setzero_si128()),
                                            _mm_cmplt_epi16(v, _mm_set1_epi16(0x80)));
        if (_mm_movemask_epi8(ascii) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(v, v));
      }
#endif
      for (; i < size && static_cast<char16_t>(text[i] - 1) < 0x7F; ++i)
        to[i] = static_cast<char>(text[i]);
      FUsed += i;
      if (i == size) return;
      text.remove_prefix(i);
    }
    WriteTextSlow(text);
  }
  // Takes UTF-16 low byte first; an odd byte waits for its partner.
  int64_t Write(const void* buffer, int64_t count) override;
  // Writes what waits (a high surrogate that might have had a partner),
  // returns a stateful encoding to its initial state and hands every byte
  // to the target. Raises EWriteError when the target takes less than it is
  // given, at this or any earlier flush.
  void Finish();

  int64_t Read(void* /*buffer*/, int64_t /*count*/) override { return 0; }
  // A stream on its way out has no position to go to: -1.
  int64_t Seek(int64_t /*offset*/, TSeekOrigin /*origin*/) override { return -1; }
  // Raises EWriteError.
  void SetSize(int64_t newSize) override;

 private:
  enum class TKind : uint8_t { kUtf8, kUtf16, kTable, kIconv };

  void WriteTextSlow(std::u16string_view text);
  // Write for what is not whole units in the order of memory.
  int64_t WriteBytes(const void* buffer, int64_t count);
  // WriteText for text that did not go into the buffer in one piece.
  void WriteInParts(std::u16string_view text);
  // Encodes text into the buffer in one piece when nothing waits, it has
  // room, it does not end in a high surrogate and the encoding is not
  // iconv's; false when it does not.
  bool EncodeWhole(std::u16string_view text);
  // Encodes text, in which no surrogate pair is split.
  void Encode(std::u16string_view text);
  void EncodeIconv(std::u16string_view text);
  // Converts the units gathered for iconv into the buffer.
  void ConvertIconvUnits();
  void Put(std::string_view bytes);
  void Flush();

  TStream& FTarget;
  TEncoding FEncoding;
  TByteOrder FOrder;
  TKind FKind;
  size_t FWidth = 1;  // the most bytes a unit takes in the buffer (iconv has its own)
  std::unique_ptr<TIconvEncoder> FIconv;
  std::u16string FIconvUnits;  // text gathered for one iconv call
  std::string FIconvBytes;     // its output on the way into the buffer
  std::unique_ptr<char[]> FBuffer;
  size_t FCapacity;
  size_t FUsed = 0;
  char16_t FHighSurrogate = 0;  // held back until the next unit shows whether it pairs
  int FOddByte = -1;            // the low byte of a unit whose high byte is yet to come
};

}  // namespace lumora
