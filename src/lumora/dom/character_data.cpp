#include "lumora/dom/character_data.h"

#include <vector>

#include "lumora/dom/container.h"

#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/entity_expansion.h"
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
  return XMLLength(FValue.View());
}

std::u16string TKaCharacterData::SubstringData(int Offset, int Count) {
  if (Offset < 0 || Offset > Length() - 1 || Count < 0)
    BadOffset("TKaCharacterData.substring: invalid offset/count values");
  std::u16string& value = FValue.Edit();
  value = value.substr(static_cast<size_t>(Offset), static_cast<size_t>(Count));
  return value;
}

void TKaCharacterData::InsertData(int Offset, std::u16string_view Arg) {
  if (Offset < 0 || Offset > Length() - 1)
    BadOffset("TKaCharacterData.insertData: invalid offset value");
  FValue.Edit().insert(static_cast<size_t>(Offset), Arg);
}

void TKaCharacterData::DeleteData(int Offset, int Count) {
  if (Offset < 0 || Offset > Length() - 1 || Count < 0)
    BadOffset("TKaCharacterData.deleteData: invalid offset/count values");
  FValue.Edit().erase(static_cast<size_t>(Offset), static_cast<size_t>(Count));
}

void TKaCharacterData::ReplaceData(int Offset, int Count, std::u16string_view Arg) {
  DeleteData(Offset, Count);
  InsertData(Offset, Arg);
}

TKaXMLText::TKaXMLText(std::u16string_view Data, uint8_t NodeType, TKaXMLDocument* Doc)
    : TKaCharacterData(u"", NodeType, Doc) {
  SetValueText(Data);
}

std::unique_ptr<TKaXMLText> TKaXMLText::CreateText(std::u16string_view Data, TKaXMLDocument* Doc) {
  auto text = MakeNode<TKaXMLText>(Doc, Data, Doc);
  text->FFlags |= kResolved;
  return text;
}

std::unique_ptr<TKaXMLText> TKaXMLText::SplitText(int Offset) {
  if (Offset < 0 || Offset > Length()) BadOffset("TKaXMLText.splitText: invalid offset value");
  auto rest = MakeBeside<TKaXMLText>(
      FValue.View().substr(static_cast<size_t>(Offset)), FOwnerDocument);
  rest->FFlags = FFlags;
  SetValueText(FValue.View().substr(0, static_cast<size_t>(Offset)));
  return rest;
}

void TKaXMLText::Normalize() {
  if (FFlags & kResolved) return;
  if (FindUnit(FValue.View(), u'&') == std::u16string::npos) {  // the common case
    FFlags |= kResolved;
    return;
  }
  NormalizeWritten(FValue.View());
}

void TKaXMLText::NormalizeWritten(std::u16string_view Written) {
  // Nothing changes until all is read, so a reference that raises leaves
  // the node as it was. Entities with markup, and references kept as
  // written, become nodes at the reference's place: the text before it
  // stays here, the text after it follows them.
  TKaContainer* owner = FParent ? FParent->ToContainer() : nullptr;
  TContentExpansion content(FOwnerDocument, owner != nullptr);
  content.Append(Written);
  std::vector<std::unique_ptr<TKaXMLNode>> nodes = content.TakeNodes();
  SetValueText(content.TakeLeading());
  FFlags |= kResolved;
  TKaXMLNode* at = this;
  for (std::unique_ptr<TKaXMLNode>& node : nodes)
    at = owner->GetNodeList().InsertAfter(std::move(node), at);
}

void TKaXMLText::Write(TStream& Stream, int /*Level*/) {
  WriteEscaped(Stream, FValue, kEscapeReturn | kEscapeSectionEnd, OutputEncoding());
  SetAfterText(true);
}

std::unique_ptr<TKaXMLNode> TKaXMLText::CloneNode() const {
  auto copy = MakeBeside<TKaXMLText>(FValue.View(), FOwnerDocument);
  copy->FFlags = FFlags;
  return copy;
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
  WriteCDataSection(Stream, FValue, OutputEncoding());
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLCData::CloneNode() const {
  return MakeBeside<TKaXMLCData>(FValue.View(), FOwnerDocument);
}

void TKaXMLComment::Write(TStream& Stream, int Level) {
  BreakLine(Stream, ContentLevel(Level));
  WriteDelimited(Stream, u"<!--", FValue, u"-->");
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLComment::CloneNode() const {
  return MakeBeside<TKaXMLComment>(FValue.View(), FOwnerDocument);
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
  SetValueText(Data);
}

TKaXMLPi::TKaXMLPi(const TKaXMLPi& source, TCopy)
    : TKaXMLNode(source.FName, PROCESSING_INSTRUCTION_NODE, source.FOwnerDocument,
                 TNameRule::kChecked) {
  FValue = source.FValue;
}

void TKaXMLPi::Write(TStream& Stream, int Level) {
  BreakLine(Stream, ContentLevel(Level));
  WriteWide(Stream, u"<?");
  WriteWide(Stream, FName);
  if (!Trim(WideToSystem(FValue.View())).empty()) {
    WriteWide(Stream, u" ");
    WriteWide(Stream, FValue);
  }
  WriteWide(Stream, u"?>");
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLPi::CloneNode() const {
  return std::unique_ptr<TKaXMLPi>(new (BlockArena()) TKaXMLPi(*this, TCopy{}));
}

}  // namespace lumora
