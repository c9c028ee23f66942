#include "lumora/dom/node.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"

namespace lumora {
namespace {

// The chains queued by the destruction running on this thread, if any.
thread_local std::vector<TKaXMLNode*>* tPendingChains = nullptr;

// Every node is preceded by the arena it came from (nil for a plain allocation).
constexpr size_t kHeader = sizeof(TNodeArena*);
static_assert(kHeader % alignof(TKaXMLNode) == 0);

TNodeArena*& HeaderOf(void* block) {
  return *static_cast<TNodeArena**>(block);
}

// The block the last arena allocation on this thread handed out, until its
// node's constructor takes it: the constructor learns so where it lives
// (a node on the stack or inside another object lives in no arena).
// Two words of static TLS: read without a call into the dynamic linker.
[[gnu::tls_model("initial-exec")]] thread_local void* tArenaBlock = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local TNodeArena* tArenaOfBlock = nullptr;

TNodeArena* TakeArenaOf(const void* node) {
  if (node != tArenaBlock) return nullptr;
  tArenaBlock = nullptr;
  return tArenaOfBlock;
}

void FreeBlock(void* node, size_t size) {
  void* block = static_cast<char*>(node) - kHeader;
  if (TNodeArena* arena = HeaderOf(block))
    arena->Deallocate(block, size ? size + kHeader : 0);
  else
    std::free(block);
}

void CheckName(std::u16string_view name, const char* pattern) {
  if (!IsValidName(name))
    throw EKaDOMException(INVALID_CHARACTER_ERR, Format(pattern, WideToSystem(name)));
}

}  // namespace

TDocumentRef::TDocumentRef(TKaXMLDocument* Doc) : TDocumentRef(Doc ? Doc->Link() : nullptr) {}

TDocumentRef& TDocumentRef::operator=(TKaXMLDocument* Doc) {
  Reset(Doc ? Doc->Link() : nullptr);
  return *this;
}

void DestroyNodeChain(TKaXMLNode* first) {
  if (!first) return;
  if (tPendingChains) {
    // A node being destroyed owns this chain: let the outer loop take it.
    tPendingChains->push_back(first);
    return;
  }
  // Depth first, in document order: a node's own chains (queued by its
  // destructor) come before its next sibling. A parsed tree was cut from its
  // arena in that order, so the walk reads memory forwards.
  std::vector<TKaXMLNode*> pending{first};
  tPendingChains = &pending;
  while (!pending.empty()) {
    TKaXMLNode* node = pending.back();
    pending.pop_back();
    if (TKaXMLNode* next = node->FNext) {
      node->FNext = nullptr;
      pending.push_back(next);
    }
    delete node;
  }
  tPendingChains = nullptr;
}

void* TKaXMLNode::operator new(size_t Size) {
  void* block = std::malloc(Size + kHeader);
  if (!block) throw std::bad_alloc();
  HeaderOf(block) = nullptr;
  return static_cast<char*>(block) + kHeader;
}

void* TKaXMLNode::operator new(size_t Size, TKaXMLDocument* Doc) {
  return operator new(Size, Doc ? &Doc->NodeArena() : nullptr);
}

void* TKaXMLNode::operator new(size_t Size, TNodeArena* Arena) {
  if (!Arena) return operator new(Size);
  void* block = Arena->Allocate(Size + kHeader);
  HeaderOf(block) = Arena;
  void* node = static_cast<char*>(block) + kHeader;
  tArenaBlock = node;
  tArenaOfBlock = Arena;
  return node;
}

void TKaXMLNode::operator delete(void* Node, size_t Size) {
  if (Node) FreeBlock(Node, Size);
}

// A constructor raised: the block is not reused, but its reference goes.
void TKaXMLNode::operator delete(void* Node, TKaXMLDocument* /*Doc*/) {
  TakeArenaOf(Node);
  FreeBlock(Node, 0);
}

void TKaXMLNode::operator delete(void* Node, TNodeArena* /*Arena*/) {
  TakeArenaOf(Node);
  FreeBlock(Node, 0);
}

TNodeArena* TKaXMLNode::BlockArena() const {
  return FInArena ? HeaderOf(const_cast<char*>(reinterpret_cast<const char*>(this)) - kHeader)
                  : nullptr;
}

TKaXMLNode::TKaXMLNode(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, NodeType, Doc, TNameRule::kFree) {}

TKaXMLNode::TKaXMLNode(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc,
                       TNameRule Rule)
    : TKaXMLNode(Name, NodeType, Doc, Rule, TakeArenaOf(this)) {}

TKaXMLNode::TKaXMLNode(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc,
                       TNameRule Rule, TNodeArena* Arena)
    : FName(Name, Arena),
      FNodeType(NodeType),
      FNameRule(Rule),
      FInArena(Arena != nullptr),
      FOwnerDocument(Doc ? Doc->Link() : nullptr) {
  // A document's names are checked once each, when first interned.
  if (Rule == TNameRule::kChecked && !FName.IsChecked()) {
    CheckName(Name, "TKaXMLDocument.TKaXMLNode.Create(\"%s\"): invalid character(s) for name");
    FName.SetChecked();
  }
}

TKaXMLNode::~TKaXMLNode() {
  TKaXMLNode* rest = FNext;
  FNext = nullptr;
  DestroyNodeChain(rest);
}

void TKaXMLNode::SetName(std::u16string_view Name) {
  if (FNameRule == TNameRule::kChecked)
    CheckName(Name, "TKaXMLDocument.TKaXMLNode.Create('%s'): invalid character(s) for name");
  FName.Assign(Name, BlockArena());
}

TKaXMLNode* TKaXMLNode::PreviousSibling() const {
  TKaXMLNode* node = FPrevious;
  while (node && node->FNodeType != FNodeType) node = node->FPrevious;
  return node;
}

TKaXMLNode* TKaXMLNode::NextSibling() const {
  TKaXMLNode* node = FNext;
  while (node && node->FNodeType != FNodeType) node = node->FNext;
  return node;
}

TKaXMLNode* TKaXMLNode::Mnext(int Count) const {
  const TKaXMLNode* node = this;
  for (int i = 0; i < Count && node; ++i) node = node->FNext;
  return const_cast<TKaXMLNode*>(node);
}

bool TKaXMLNode::IsAncestor(const TKaXMLNode* Node) const {
  for (const TKaXMLNode* up = FParent; up; up = up->FParent) {
    if (up == Node) return true;
  }
  return false;
}

std::string TKaXMLNode::TypeToTypeString(uint8_t NodeType) {
  switch (NodeType) {
    case ELEMENT_NODE:
      return "ELEMENT_NODE";
    case ATTRIBUTE_NODE:
      return "ATTRIBUTE_NODE";
    case TEXT_NODE:
      return "TEXT_NODE";
    case CDATA_SECTION_NODE:
      return "CDATA_SECTION_NODE";
    case COMMENT_NODE:
      return "COMMENT_NODE";
    case PROCESSING_INSTRUCTION_NODE:
      return "PROCESSING_INSTRUCTION_NODE";
    case ENTITY_REFERENCE_NODE:
      return "ENTITY_REFERENCE_NODE";
    case ENTITY_NODE:
      return "ENTITY_NODE";
    case NOTATION_NODE:
      return "NOTATION_NODE";
    case DOCUMENT_TYPE_NODE:
      return "DOCUMENT_TYPE_NODE";
    case DOCUMENT_NODE:
      return "DOCUMENT_NODE";
    case DOCUMENT_FRAGMENT_NODE:
      return "DOCUMENT_FRAGMENT_NODE";
    default:
      return "UNKNOWN_NODE";
  }
}

bool TKaXMLNode::ChildTypeAllowed(const TKaXMLNode* Child) const {
  if (!Child) return false;
  const uint8_t child = Child->FNodeType;
  switch (FNodeType) {
    case ELEMENT_NODE:
    case ENTITY_REFERENCE_NODE:
    case ENTITY_NODE:
    case DOCUMENT_FRAGMENT_NODE:
      return child == ELEMENT_NODE || child == TEXT_NODE || child == CDATA_SECTION_NODE ||
             child == COMMENT_NODE || child == PROCESSING_INSTRUCTION_NODE ||
             child == ENTITY_REFERENCE_NODE;
    case ATTRIBUTE_NODE:
      return child == TEXT_NODE || child == ENTITY_REFERENCE_NODE;
    case DOCUMENT_NODE:
      return child == ELEMENT_NODE || child == COMMENT_NODE ||
             child == PROCESSING_INSTRUCTION_NODE || child == DOCUMENT_TYPE_NODE;
    default:
      return false;
  }
}

void TKaXMLNode::Write(TStream& Stream, int /*Level*/) {
  WriteWide(Stream, FName);
  WriteWide(Stream, u" ");
  WriteWide(Stream, FValue);
}

void TKaXMLNode::Normalize() {
  SetValueText(NormalizedValue());
}

std::u16string TKaXMLNode::NormalizedValue() const {
  static const TReferenceRules kRules{
      "Illegal character in the text value '&&'.",
      "Reference to an unparsed entity is not allowed in the character data.", nullptr, false,
      nullptr};
  const std::u16string_view value = FValue;
  std::u16string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u'\t' || c == u'\r' || c == u' ') {
      out += u' ';
    } else if (c == u'\n') {
      if (i == 0 || value[i - 1] != u'\r') out += u' ';
    } else if (c == u'&') {
      i = AppendReferenceAt(value, i, FOwnerDocument, kRules, out);
    } else {
      out += c;
    }
  }
  return out;
}

int TKaXMLNode::ParserLine() const {
  return FOwnerDocument ? FOwnerDocument->GetLineNumber() : 0;
}

bool TKaXMLNode::AfterText() const {
  return FOwnerDocument && FOwnerDocument->GetAfterText();
}

void TKaXMLNode::SetAfterText(bool value) const {
  if (FOwnerDocument) FOwnerDocument->SetAfterText(value);
}

int TKaXMLNode::ContentLevel(int Level) const {
  const bool formatted = !FOwnerDocument || FOwnerDocument->GetFormatedOutput();
  return formatted ? Level + 3 : Level;
}

void TKaXMLNode::BreakLine(TStream& Stream, int Indent) const {
  if (AfterText()) return;
  // Indentation stops growing at this width: a document nested a hundred
  // thousand deep is written in linear size, not quadratic.
  static const std::u16string kBreak = u"\r\n" + std::u16string(256, u' ');
  WriteWide(Stream, std::u16string_view(kBreak).substr(
                        0, 2 + static_cast<size_t>(std::clamp(Indent, 0, 256))));
}

TEncoding TKaXMLNode::OutputEncoding() const {
  return FOwnerDocument ? FOwnerDocument->GetWriteEncoding() : UTF_8;
}

std::unique_ptr<TKaXMLNode> TKaXMLNode::CloneNode() const {
  auto copy = MakeBeside<TKaXMLNode>(FName.Str(), FNodeType, FOwnerDocument);
  copy->FValue = FValue;
  return copy;
}

}  // namespace lumora
