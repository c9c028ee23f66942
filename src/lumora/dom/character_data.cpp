#include "lumora/dom/character_data.h"

#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/string_buffer.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

[[noreturn]] void BadOffset(const char* message) {
  throw EKaDOMException(INDEX_SIZE_ERR, message);
}

}  // namespace

int TKaCharacterData::Length() const {
  return XMLLength(FValue);
}

std::u16string TKaCharacterData::SubstringData(int Offset, int Count) {
  if (Offset < 0 || Offset > Length() - 1 || Count < 0)
    BadOffset("TKaCharacterData.substring: invalid offset/count values");
  FValue = FValue.substr(static_cast<size_t>(Offset), static_cast<size_t>(Count));
  return FValue;
}

void TKaCharacterData::InsertData(int Offset, std::u16string_view Arg) {
  if (Offset < 0 || Offset > Length() - 1)
    BadOffset("TKaCharacterData.insertData: invalid offset value");
  FValue.insert(static_cast<size_t>(Offset), Arg);
}

void TKaCharacterData::DeleteData(int Offset, int Count) {
  if (Offset < 0 || Offset > Length() - 1 || Count < 0)
    BadOffset("TKaCharacterData.deleteData: invalid offset/count values");
  FValue.erase(static_cast<size_t>(Offset), static_cast<size_t>(Count));
}

void TKaCharacterData::ReplaceData(int Offset, int Count, std::u16string_view Arg) {
  DeleteData(Offset, Count);
  InsertData(Offset, Arg);
}

TKaXMLText::TKaXMLText(std::u16string_view Data, uint8_t NodeType, TKaXMLDocument* Doc)
    : TKaCharacterData(u"", NodeType, Doc) {
  FValue = Data;
}

std::unique_ptr<TKaXMLText> TKaXMLText::CreateText(std::u16string_view Data, TKaXMLDocument* Doc) {
  return std::make_unique<TKaXMLText>(CharsToReference(Data), Doc);
}

std::unique_ptr<TKaXMLText> TKaXMLText::SplitText(int Offset) {
  if (Offset < 0 || Offset > Length()) BadOffset("TKaXMLText.splitText: invalid offset value");
  auto rest =
      CreateText(std::u16string_view(FValue).substr(static_cast<size_t>(Offset)), FOwnerDocument);
  FValue.resize(static_cast<size_t>(Offset));
  return rest;
}

void TKaXMLText::Normalize() {
  // Replacement text holding markup is parsed by the parser component once
  // entities are declared; until then it is taken as text.
  static const TReferenceRules kRules{
      "Illegal character in the text value '&&'.",
      "Reference to an unparsed entity is not allowed in the character data.", nullptr, false};
  const std::u16string_view value = FValue;
  size_t i = FindUnit(value, u'&');
  if (i == std::u16string_view::npos) return;  // the common case
  std::u16string out(value.substr(0, i));
  out.reserve(value.size());
  for (; i < value.size(); ++i) {
    if (value[i] != u'&') {
      out += value[i];
      continue;
    }
    i = AppendReferenceAt(value, i, FOwnerDocument, kRules, out);
  }
  FValue = std::move(out);
}

void TKaXMLText::Write(TStream& Stream, int /*Level*/) {
  WriteEscaped(Stream, FValue, 0);
  SetAfterText(true);
}

std::unique_ptr<TKaXMLNode> TKaXMLText::CloneNode() const {
  return std::make_unique<TKaXMLText>(FValue, FOwnerDocument);
}

namespace {

void WriteDelimited(TStream& stream, std::u16string_view open, std::u16string_view data,
                    std::u16string_view close) {
  WriteWide(stream, open);
  WriteWide(stream, data);
  WriteWide(stream, close);
}

}  // namespace

void TKaXMLCData::Write(TStream& Stream, int Level) {
  BreakLine(Stream, ContentLevel(Level));
  // A "]]>" in the data would end the section early: the section is split
  // between its "]]" and its ">", so that the data reads back unchanged.
  std::u16string_view data = FValue;
  for (size_t end; (end = data.find(u"]]>")) != std::u16string_view::npos;) {
    WriteDelimited(Stream, u"<![CDATA[", data.substr(0, end + 2), u"]]>");
    data.remove_prefix(end + 2);
  }
  WriteDelimited(Stream, u"<![CDATA[", data, u"]]>");
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLCData::CloneNode() const {
  return std::make_unique<TKaXMLCData>(FValue, FOwnerDocument);
}

void TKaXMLComment::Write(TStream& Stream, int Level) {
  BreakLine(Stream, ContentLevel(Level));
  WriteDelimited(Stream, u"<!--", FValue, u"-->");
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLComment::CloneNode() const {
  return std::make_unique<TKaXMLComment>(FValue, FOwnerDocument);
}

namespace {

std::u16string_view CheckedTarget(std::u16string_view target) {
  if (!IsValidPIData(target))
    throw EKaDOMException(INVALID_CHARACTER_ERR,
                          "TKaXMLDocument.createProcessingInstruction: invalid character for name");
  return target;
}

}  // namespace

TKaXMLPi::TKaXMLPi(std::u16string_view Target, std::u16string_view Data, TKaXMLDocument* Doc)
    : TKaXMLNode(CheckedTarget(Target), PROCESSING_INSTRUCTION_NODE, Doc, TNameRule::kChecked) {
  FValue = Data;
  Normalize();
}

TKaXMLPi::TKaXMLPi(const TKaXMLPi& source, TCopy)
    : TKaXMLNode(source.FName, PROCESSING_INSTRUCTION_NODE, source.FOwnerDocument,
                 TNameRule::kChecked) {
  FValue = source.FValue;
}

void TKaXMLPi::Normalize() {
  // Tab, CR, LF and space each become one space, a CR LF pair one space.
  std::u16string out;
  out.reserve(FValue.size());
  for (size_t i = 0; i < FValue.size(); ++i) {
    const char16_t c = FValue[i];
    if (c == u'\n' && i > 0 && FValue[i - 1] == u'\r') continue;
    out += IsWhite(c) ? u' ' : c;
  }
  FValue = std::move(out);
}

void TKaXMLPi::Write(TStream& Stream, int Level) {
  BreakLine(Stream, ContentLevel(Level));
  WriteWide(Stream, u"<?");
  WriteWide(Stream, FName);
  if (!Trim(WideToSystem(FValue)).empty()) {
    WriteWide(Stream, u" ");
    WriteWide(Stream, FValue);
  }
  WriteWide(Stream, u"?>");
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLPi::CloneNode() const {
  return std::unique_ptr<TKaXMLPi>(new TKaXMLPi(*this, TCopy{}));
}

}  // namespace lumora
