#include "lumora/lex/transcoding_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/text/iconv_converter.h"
#include "lumora/text/iconv_encodings.h"

namespace lumora {

namespace {

// Enough for an XML declaration with generous white space.
constexpr size_t kPeekBytes = 512;
constexpr size_t kInBlock = 64 * 1024;
constexpr size_t kOutBlock = 4 * kInBlock;  // a byte may become a surrogate pair

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The value of the encoding pseudo-attribute of the declaration at the start
// of head, or "" when there is none.
std::string DeclaredEncodingName(std::string_view head) {
  if (!StartsWithNoCase(head, "<?xml") || head.size() < 6 || !IsXmlSpace(head[5])) return {};
  const size_t end = head.find("?>");
  const std::string_view decl = head.substr(0, end);
  for (size_t at = decl.find("encoding"); at != std::string_view::npos;
       at = decl.find("encoding", at + 1)) {
    if (!IsXmlSpace(decl[at - 1])) continue;
    size_t i = at + 8;
    while (i < decl.size() && IsXmlSpace(decl[i])) ++i;
    if (i >= decl.size() || decl[i] != '=') continue;
    ++i;
    while (i < decl.size() && IsXmlSpace(decl[i])) ++i;
    if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) continue;
    const size_t close = decl.find(decl[i], i + 1);
    if (close == std::string_view::npos) return {};
    return std::string(decl.substr(i + 1, close - i - 1));
  }
  return {};
}

}  // namespace

TEncoding TranscodedEncoding(TStream& stream, TEncoding fallback) {
  char head[kPeekBytes];
  size_t got = 0;
  stream.Seek(0, TSeekOrigin::soBeginning);
  while (got < sizeof head) {
    const int64_t n = stream.Read(head + got, static_cast<int64_t>(sizeof head - got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  stream.Seek(0, TSeekOrigin::soBeginning);
  const std::string_view bytes(head, got);
  // A byte-order mark decides by itself, as the input buffer reads it.
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
      bytes.starts_with("\xEF\xBB\xBF"))
    return n_sup;
  const std::string declared = DeclaredEncodingName(bytes);
  const TEncoding encoding = declared.empty() ? fallback : StringToEncoding(declared);
  return IsIconvEncoding(encoding) ? encoding : n_sup;
}

TTranscodingStream::TTranscodingStream(TStream& source, TEncoding encoding, std::string fileName)
    : FSource(source),
      FEncoding(encoding),
      FFileName(std::move(fileName)),
      FConverter(std::make_unique<TIconvConverter>(kIconvUnits,
                                                   IconvCharset(encoding)->IconvName)),
      FIn(kInBlock),
      FOut(kOutBlock) {
  if (!FConverter->IsOpen())
    throw EKaOrvaneError::CreateWithFileName(
        Format("Encoding '%s' is not supported in this version of Orvane.",
               EncodingToString(encoding)),
        FFileName, 0);
  Restart();
}

TTranscodingStream::~TTranscodingStream() = default;

void TTranscodingStream::Restart() {
  FSource.Seek(0, TSeekOrigin::soBeginning);
  FConverter->Reset();
  FInStart = FInEnd = 0;
  FSourceDone = false;
  const char16_t mark = 0xFEFF;
  std::memcpy(FOut.data(), &mark, sizeof mark);
  FOutStart = 0;
  FOutEnd = sizeof mark;
  FDelivered = 0;
  FLine = 1;
}

int64_t TTranscodingStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (origin == TSeekOrigin::soBeginning && offset == 0) {
    Restart();
    return 0;
  }
  if (origin == TSeekOrigin::soCurrent && offset == 0) return FDelivered;
  return -1;
}

int64_t TTranscodingStream::Read(void* buffer, int64_t count) {
  auto* to = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (FOutStart == FOutEnd && !Produce()) break;
    const size_t n = std::min(static_cast<size_t>(count - done), FOutEnd - FOutStart);
    std::memcpy(to + done, FOut.data() + FOutStart, n);
    FOutStart += n;
    done += static_cast<int64_t>(n);
  }
  FDelivered += done;
  return done;
}

bool TTranscodingStream::Produce() {
  FOutStart = FOutEnd = 0;
  for (;;) {
    // Keep the input topped up, so that a sequence cut by a read completes.
    if (!FSourceDone && (FInStart > 0 || FInEnd < FIn.size())) {
      if (FInStart > 0) {
        std::memmove(FIn.data(), FIn.data() + FInStart, FInEnd - FInStart);
        FInEnd -= FInStart;
        FInStart = 0;
      }
      const int64_t n =
          FSource.Read(FIn.data() + FInEnd, static_cast<int64_t>(FIn.size() - FInEnd));
      if (n <= 0)
        FSourceDone = true;
      else
        FInEnd += static_cast<size_t>(n);
    }
    if (FInStart == FInEnd) {
      if (FSourceDone) return false;
      continue;
    }
    const char* in = FIn.data() + FInStart;
    size_t inLeft = FInEnd - FInStart;
    char* out = FOut.data();
    size_t outLeft = FOut.size();
    const bool stopped = FConverter->Convert(&in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
    const int error = stopped ? errno : 0;
    const char* const from = FIn.data() + FInStart;
    FLine += static_cast<int32_t>(std::count(from, in, '\n'));
    FInStart += static_cast<size_t>(in - from);
    FOutEnd = FOut.size() - outLeft;
    // A document with a byte that does not decode is refused, where that
    // byte stands; so is one that ends inside a sequence.
    if (error == EILSEQ) RaiseBadByte(FInStart);
    if (FOutEnd > 0) return true;
    if (error == EINVAL && (FSourceDone || (FInStart == 0 && FInEnd == FIn.size())))
      RaiseBadByte(FInStart);
  }
}

void TTranscodingStream::RaiseBadByte(size_t at) {
  const auto byte = static_cast<unsigned char>(FIn[at]);
  throw EKaOrvaneError::CreateWithFileName(
      Format("Byte 0x%0.2x is not valid in %s.", byte, EncodingToString(FEncoding)), FFileName,
      FLine);
}

}  // namespace lumora
