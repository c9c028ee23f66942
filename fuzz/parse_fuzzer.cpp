// libFuzzer target: parses arbitrary bytes from memory under every
// combination of StandardXML and ValidateDocument, writes back whatever tree
// was built, and reads the same bytes as the content of an external parsed
// entity, as an external DTD and as the text of an external entity. Errors of the library (lumora::Exception) are expected answers to
// bad input; anything else that escapes, a crash, a hang, a leak or a
// sanitizer report is a finding.
//
// The parsers read through small input blocks, so that short inputs cross
// block boundaries too (and a run does not spend its time clearing the
// default blocks).
//
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DLUMORA_FUZZ=ON
//   cmake --build build-fuzz --target parse_fuzzer
//   build-fuzz/fuzz/parse_fuzzer -dict=fuzz/xml.dict CORPUS_DIR fuzz/corpus
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "lumora/dom/document.h"
#include "lumora/framework/component.h"
#include "lumora/framework/exception.h"
#include "lumora/framework/stream.h"
#include "lumora/parser/dtd_parser.h"
#include "lumora/parser/external_text.h"
#include "lumora/parser/orvane.h"

namespace {

using namespace lumora;

// A parser reading through input blocks of the given size, and never from
// the network, a local file or a catalog: the input alone decides a run.
class TFuzzParser : public TKaOrvane {
 public:
  TFuzzParser(TComponent* AOwner, int32_t BlockSize) : TKaOrvane(AOwner) {
    FBlockSize = BlockSize;
    SetRetrieveInternetURI(false);
    SetAllowLocalFiles(false);
    SetCatalogFiles({});
  }
};

// Writes the document as it stands. Formatted output indents by depth, so it
// grows with the square of the nesting: it is written once per input only.
void WriteBack(TKaXMLDocument& doc) {
  try {
    TMemoryStream out;
    doc.WriteToStream(out);
  } catch (const lumora::Exception&) {
  }
}

void ParseAndWrite(TKaOrvane& parser, const std::string& bytes, bool formatted, size_t salt) {
  std::unique_ptr<TKaXMLDocument> doc;
  TStringStream stream(bytes);
  try {
    parser.Parse(stream, doc);
  } catch (const lumora::Exception&) {
    // A syntax error leaves the tree built so far: writing it must work too.
  }
  if (!doc) return;
  parser.SetFormatedOutput(formatted);
  WriteBack(*doc);
  if (!formatted) return;
  // Once more, unformatted, in another encoding and byte order.
  parser.SetFormatedOutput(false);
  doc->SetOutputEncoding(static_cast<TEncoding>(i8859_1 + salt % (UTF_16 - i8859_1 + 1)));
  doc->SetByteOrder(salt & 16 ? boLittleEndian : boBigEndian);
  WriteBack(*doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t salt = size;
  for (size_t i = 0; i < size && i < 64; ++i) salt = salt * 31 + data[i];

  // Without an owner the encoding comes from the byte-order mark and the
  // declaration alone.
  TFuzzParser parser(nullptr, static_cast<int32_t>(64 + salt % 193));
  for (int options = 0; options < 4; ++options) {
    parser.SetStandardXML((options & 1) != 0);
    parser.SetValidateDocument((options & 2) != 0);
    ParseAndWrite(parser, bytes, options == 0, salt);
  }

  // With an owner the default encoding applies; read the bytes as an entity.
  TComponent owner(nullptr);
  auto* owned = new TFuzzParser(&owner, static_cast<int32_t>(64 + (salt >> 3) % 193));
  owned->SetDefEncoding(static_cast<TEncoding>(i8859_1 + (salt >> 8) % (UTF_16 - i8859_1 + 1)));
  owned->SetParserMode('e');
  ParseAndWrite(*owned, bytes, false, salt);

  // And as what a document reads from outside: its external DTD, and the
  // text of an external entity.
  std::unique_ptr<TKaXMLDocument> doc;
  TStringStream holder("<!DOCTYPE a><a/>");
  parser.SetStandardXML((salt & 1) != 0);
  parser.Parse(holder, doc);
  try {
    TByteViewStream dtd(bytes);
    TDTDParser(nullptr).ParseExternal(dtd, "/fuzz/x.dtd", doc.get());
  } catch (const lumora::Exception&) {
  }
  WriteBack(*doc);
  try {
    TByteViewStream entity(bytes);
    ReadExternalText(entity, "/fuzz/x.ent", doc.get());
  } catch (const lumora::Exception&) {
  }
  return 0;
}
