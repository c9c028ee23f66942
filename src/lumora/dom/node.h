// The base of every node of a document tree and of the DTD model.
//
// A node is in at most one list at a time and owns the node that follows it
// there: destroying a node destroys the rest of its list, and destroying a
// list destroys all of its nodes. A node that sits in a list is taken out
// (`TKaNodeList::RemoveChildNode`) before it is destroyed on its own.
// Destruction never recurses in proportion to the length of a list or the
// depth of a tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "lumora/dom/document_ref.h"
#include "lumora/dom/node_name.h"
#include "lumora/dom/node_value.h"
#include "lumora/framework/object.h"
#include "lumora/framework/stream.h"
#include "lumora/text/code_pages.h"

namespace lumora {

class TKaContainer;
class TKaNodeList;
class TKaXMLDocument;
class TKaXMLElement;

template <class T, class... Args>
std::unique_ptr<T> MakeNode(TKaXMLDocument* Doc, Args&&... args);

// Node type codes. The numbering is the library's own: 8 is not a comment
// and 9 is not the document.
constexpr uint8_t ELEMENT_NODE = 1;
constexpr uint8_t ATTRIBUTE_NODE = 2;
constexpr uint8_t TEXT_NODE = 3;
constexpr uint8_t CDATA_SECTION_NODE = 4;
constexpr uint8_t COMMENT_NODE = 5;
constexpr uint8_t PROCESSING_INSTRUCTION_NODE = 6;
constexpr uint8_t ENTITY_REFERENCE_NODE = 7;
constexpr uint8_t ELEMENT_DECL_NODE = 8;
constexpr uint8_t ATTRIBUTE_DEF_NODE = 9;
constexpr uint8_t ENTITY_NODE = 10;
constexpr uint8_t NOTATION_NODE = 11;
constexpr uint8_t DOCUMENT_TYPE_NODE = 12;
constexpr uint8_t DOCUMENT_NODE = 13;
constexpr uint8_t DOCUMENT_FRAGMENT_NODE = 14;
constexpr uint8_t CONTENT_MODEL_NODE = 17;
constexpr uint8_t ATTLIST_DECL_NODE = 18;
constexpr uint8_t ENUMERATION_NODE = 23;
constexpr uint8_t ENUMERATION_VALUE_NODE = 24;
// In list lookups: a node of any type. Never stored in a node.
constexpr uint8_t ANY_NODE = 0;

class TKaXMLNode : public TObject {
 public:
  // A free node (no parent, no links, empty value). Plain nodes accept any
  // name; see TNameRule for the classes whose names must be XML names.
  TKaXMLNode(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc);
  ~TKaXMLNode() override;

  static std::unique_ptr<TKaXMLNode> CreateNode(std::u16string_view Name, uint8_t NodeType,
                                                TKaXMLDocument* Doc) {
    return MakeNode<TKaXMLNode>(Doc, Name, NodeType, Doc);
  }

  // Nodes made for a document live in its arena (see node_arena.h): the
  // document's factories and the parser make them with `new (Doc)`. Plain
  // `new` works too; either way `delete` gives the node back.
  static void* operator new(size_t Size);
  static void* operator new(size_t Size, TKaXMLDocument* Doc);
  static void* operator new(size_t Size, TNodeArena* Arena);
  static void operator delete(void* Node, size_t Size);
  static void operator delete(void* Node, TKaXMLDocument* Doc);
  static void operator delete(void* Node, TNodeArena* Arena);

  const std::u16string& GetName() const { return FName; }
  // Raises EKaDOMException INVALID_CHARACTER_ERR for a class whose names are
  // checked when Name is not an XML name; the name is then unchanged.
  void SetName(std::u16string_view Name);
  // The value as a string (made on the first call for a value the parser
  // read; see node_value.h). The library's own readers use ValueView.
  const std::u16string& GetValue() const { return FValue.Str(); }
  std::u16string_view ValueView() const { return FValue.View(); }
  virtual void SetValue(std::u16string_view Value) { SetValueText(Value); }
  uint8_t GetType() const { return FNodeType; }
  void SetType(uint8_t NodeType) { FNodeType = NodeType; }
  // A declaration (or a comment or PI of a DTD) read from outside the
  // document: the external subset and what it pulls in. The top bit of
  // FFlags, which no class that the DTD holds uses otherwise.
  bool IsExternalDecl() const { return (FFlags & kExternalDecl) != 0; }
  void SetExternalDecl(bool Value) {
    FFlags = static_cast<uint8_t>(Value ? FFlags | kExternalDecl : FFlags & ~kExternalDecl);
  }
  static constexpr uint8_t kExternalDecl = 0x80;
  // Nil for a node made without a document, and once its document is gone.
  TKaXMLDocument* GetOwnerDocument() const { return FOwnerDocument; }
  // Moves the node (not its content) to another document.
  void SetOwnerDocument(TKaXMLDocument* Doc) { FOwnerDocument = Doc; }
  // Moves the node and everything it owns to another document, so that no
  // node keeps pointing at a document it has left.
  virtual void MoveToDocument(TKaXMLDocument* Doc) { FOwnerDocument = Doc; }
  TKaXMLNode* GetParent() const { return FParent; }

  // Where the parser read the node (an element's or attribute's start, from
  // 1, in characters); 0 for nodes made otherwise, and for copies.
  int32_t GetLine() const;
  int32_t GetColumn() const;
  void SetPosition(int32_t Line, int32_t Column);

  virtual TKaXMLNode* Previous() const { return FPrevious; }
  virtual TKaXMLNode* Next() const { return FNext; }
  // The nearest node before (after) this one in its list with this node's type.
  TKaXMLNode* PreviousSibling() const;
  TKaXMLNode* NextSibling() const;
  // Follows Next Count times, stopping at nil; Count <= 0 gives this node.
  TKaXMLNode* Mnext(int Count) const;
  // True when Node is met walking up from this node's parent.
  bool IsAncestor(const TKaXMLNode* Node) const;

  std::string TypeToTypeString() const { return TypeToTypeString(FNodeType); }
  static std::string TypeToTypeString(uint8_t NodeType);
  // Whether a node of this type may hold Child as content; nil never may.
  bool ChildTypeAllowed(const TKaXMLNode* Child) const;

  // Writes the node as UTF-16LE text; the base form is name, space, value.
  virtual void Write(TStream& Stream, int Level);
  virtual void Validate() {}
  // Called by this node's content list when it unlinks Child (a removal or
  // a replacement), so that what the node keeps about its children stays true.
  virtual void ChildUnlinked(const TKaXMLNode& /*Child*/) {}
  // Replaces white space by spaces and resolves the references of the value.
  virtual void Normalize();
  // A plain TKaXMLNode with this node's name, type, document and value.
  virtual std::unique_ptr<TKaXMLNode> CloneNode() const;

  // The node as an element or a container (an element or the document);
  // nil for every other node, a plain node with the element's type code too.
  virtual TKaXMLElement* ToElement() { return nullptr; }
  virtual TKaContainer* ToContainer() { return nullptr; }

 protected:
  // Classes whose names must pass IsValidName (elements, attributes,
  // processing instructions, the DTD's declarations) construct with kChecked.
  enum class TNameRule : uint8_t { kFree, kChecked };
  TKaXMLNode(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc, TNameRule Rule);
  // The same, with the arena the node was cut from (nil for none).
  TKaXMLNode(std::u16string_view Name, uint8_t NodeType, TKaXMLDocument* Doc, TNameRule Rule,
             TNodeArena* Arena);

  // Replaces the value; short text goes to the node's arena.
  void SetValueText(std::u16string_view Value) { FValue.Set(Value, BlockArena()); }
  void SetValueText(std::u16string&& Value) { FValue.Set(std::move(Value), BlockArena()); }
  // The value with white space and references resolved (see Normalize).
  std::u16string NormalizedValue() const;
  // The line the owner document's parser is at; 0 without one.
  int ParserLine() const;
  // The arena this node was cut from, nil for a node made otherwise. Copies
  // and nodes this node makes for itself go there, not to the owner
  // document's: a node taken out may outlive its document.
  TNodeArena* BlockArena() const;
  template <class T, class... Args>
  std::unique_ptr<T> MakeBeside(Args&&... args) const {
    return std::unique_ptr<T>(new (BlockArena()) T(std::forward<Args>(args)...));
  }

  // Output helpers shared by the node classes. The after-text flag lives in
  // the owner document; a node without one writes as if no text preceded it.
  bool AfterText() const;
  void SetAfterText(bool value) const;
  // The level of nested content: Level + 3 when output is formatted (the
  // parser's choice; formatted without a parser), Level otherwise.
  int ContentLevel(int Level) const;
  // Markup that does not follow text starts on a new line, indented.
  void BreakLine(TStream& Stream, int Indent) const;
  // The encoding the owner document's write produces (UTF-8 without one):
  // what the output must escape.
  TEncoding OutputEncoding() const;

  TNodeName FName;
  TNodeValue FValue;
  uint8_t FNodeType;
  TNameRule FNameRule;
  // State of the node's own class (what a text holds, what an element's
  // content holds); it costs no room beside the two bytes above.
  uint8_t FFlags = 0;
  bool FInArena = false;  // see BlockArena
  // The position, packed into the padding before the pointers: line and
  // column in one word, or an entry of the owner document's table when they
  // do not fit (see node_position.cpp); 0 when unknown.
  uint32_t FPosition = 0;
  TKaXMLNode* FParent = nullptr;
  TKaXMLNode* FNext = nullptr;  // owned
  TKaXMLNode* FPrevious = nullptr;
  TDocumentRef FOwnerDocument;
  // The list the node is linked into, nil while it is free. Parent and
  // neighbours cannot tell: the only node of a list without owner has
  // neither, and a query's list has the element it searched as parent.
  TKaNodeList* FList = nullptr;

 private:
  friend class TKaNodeList;
  friend void DestroyNodeChain(TKaXMLNode* first);
};

// A node handed to an operation that adopts it. Either a raw pointer, as
// the classic interface has it (the tree owns the node once the operation
// succeeds), or a std::unique_ptr, which is released only when the operation
// succeeds: when it raises, the caller's pointer still owns the node.
template <class T>
class TAdopt {
 public:
  TAdopt(T* node) : FNode(node) {}
  TAdopt(std::nullptr_t) : FNode(nullptr) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> TAdopt(std::unique_ptr<U>&& owner)
      : FNode(owner.get()),
        FOwner(&owner),
        FRelease([](void* o) { static_cast<std::unique_ptr<U>*>(o)->release(); }) {}

  T* get() const { return FNode; }
  T* operator->() const { return FNode; }
  // The operation succeeded: the tree owns the node now.
  T* Commit() {
    if (FRelease) FRelease(FOwner);
    FRelease = nullptr;
    return FNode;
  }

 private:
  T* FNode;
  void* FOwner = nullptr;
  void (*FRelease)(void*) = nullptr;
};

// A new node of Doc's arena (a plain allocation without Doc), owned by the caller.
template <class T, class... Args>
std::unique_ptr<T> MakeNode(TKaXMLDocument* Doc, Args&&... args) {
  return std::unique_ptr<T>(new (Doc) T(std::forward<Args>(args)...));
}

// Destroys first and every node after it. Nested chains that the destroyed
// nodes own are queued instead of destroyed recursively.
void DestroyNodeChain(TKaXMLNode* first);

}  // namespace lumora
