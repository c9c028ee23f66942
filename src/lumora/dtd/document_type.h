// The document type node: the name of the document element, the external
// identifier of the DTD, and the declarations in its content list.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "lumora/dom/node_list.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/external_node.h"
#include "lumora/dtd/name_lookup.h"
#include "lumora/dtd/notation.h"

namespace lumora {

class TKaElementDecl;
class TSideFiles;

// Whether declaration names other than entity names compare exactly: when
// the document's parser reads standard XML. Otherwise ASCII letters compare
// without case.
bool ExactDeclarationNames(const TKaXMLDocument* Doc);
// Name with the ASCII letters A to Z in lower case: the hash key of names
// that compare without case.
std::u16string FoldedName(std::u16string_view Name);

class TKaDocumentType : public TKaExternalNode {
 public:
  TKaDocumentType(std::u16string_view Name, TKaXMLDocument* Doc);
  ~TKaDocumentType() override;

  static std::unique_ptr<TKaDocumentType> CreateDTD(std::u16string_view Name, TKaXMLDocument* Doc) {
    return std::make_unique<TKaDocumentType>(Name, Doc);
  }

  // The declarations and other markup of the DTD in order. Nodes are added
  // and removed through the operations below, which keep the lookups by name
  // in step; nodes appended to the list directly are indexed at the next
  // lookup, and a node removed from it directly makes the next lookup
  // reindex the list.
  TKaNodeList& GetNodeList() { return FNodeList; }
  TKaNodeList& GetContentList() { return FNodeList; }
  const TKaNodeList& GetContentList() const { return FNodeList; }
  TKaXMLNode* GetFirstNode() const { return FNodeList.GetFirst(); }

  // Setters: each appends and returns the node once the list owns it.
  TKaElementDecl* SetElementDecl(TAdopt<TKaElementDecl> Decl);
  // Appends Decl unless the element has an attribute-list declaration: then
  // copies of its definitions of new names are merged into that one and nil
  // is returned (the caller keeps Decl).
  TKaAttListDecl* SetAttListDecl(TAdopt<TKaAttListDecl> Decl);
  // Adds Def to the element's attribute-list declaration, creating that
  // when there is none; nil when the element already defines the attribute
  // (the caller keeps Def).
  TKaAttDef* SetAttDef(std::u16string_view ElementName, TAdopt<TKaAttDef> Def);
  // Appends Decl unless an entity of that name (general or parameter) is
  // declared: the first declaration binds. Nil when refused.
  TKaCustomEntityDecl* SetEntityDecl(TAdopt<TKaCustomEntityDecl> Decl);
  TKaNotation* SetNotationDecl(TAdopt<TKaNotation> Decl);
  TKaXMLNode* SetComment(TAdopt<TKaXMLNode> Comment);
  TKaXMLNode* SetPI(TAdopt<TKaXMLNode> Pi);
  // Appends a reference that stood in the DTD. The parser expands it; the
  // node stays as a mark of where its declarations came from.
  TKaXMLNode* SetPReference(TAdopt<TKaXMLNode> Reference);

  // The slot of the index that holds the nodes of a type looked up by name;
  // -1 for the other types.
  static constexpr int IndexSlot(uint8_t NodeType) {
    switch (NodeType) {
      case ELEMENT_DECL_NODE: return 0;
      case ATTLIST_DECL_NODE: return 1;
      case ENTITY_NODE: return 2;
      case NOTATION_NODE: return 3;
      case PROCESSING_INSTRUCTION_NODE: return 4;
      case ENTITY_REFERENCE_NODE: return 5;
      default: return -1;
    }
  }
  static constexpr size_t kIndexSlots = 6;

  // Lookups by name. Entity names compare exactly. Element, attribute-list,
  // attribute, notation, PI and reference names compare ASCII letters without
  // case, or exactly when the owner document's parser reads standard XML.
  // The first declaration in list order is found.
  TKaElementDecl* GetElementDecl(std::u16string_view Name) const;
  TKaAttListDecl* GetAttListDecl(std::u16string_view Name) const;
  TKaAttDef* GetAttDef(std::u16string_view ElementName, std::u16string_view Name) const;
  TKaCustomEntityDecl* GetEntityDecl(std::u16string_view Name) const;
  TKaNotation* GetNotation(std::u16string_view Name) const;
  // The first notation whose name is exactly Name, in either mode.
  TKaXMLNode* GetNotationNamed(std::u16string_view Name) const;
  TKaXMLNode* GetPI(std::u16string_view Target) const;
  TKaXMLNode* GetPReference(std::u16string_view Name) const;

  // Inserts Node right after After (appends when After is nil).
  TKaXMLNode* InsertNode(TAdopt<TKaXMLNode> Node, TKaXMLNode* After);
  // Unlinks Node and hands it to the caller.
  std::unique_ptr<TKaXMLNode> RemoveNode(TKaXMLNode* Node);
  // Puts New right after Old, unlinks Old and hands it to the caller.
  std::unique_ptr<TKaXMLNode> RepleaceDeclaration(TKaXMLNode* Old, TAdopt<TKaXMLNode> New);

  void MoveToDocument(TKaXMLDocument* Doc) override;

  // Reads the external subset that the identifier names into the content
  // list, after what is there: the document grammar calls it once the
  // internal subset is read, whose declarations therefore bind first. A
  // subset that cannot be found adds nothing (the parser's OnFileNotFound
  // tells); one that is not well-formed raises EKaOrvaneError with its own
  // location, line and column.
  void Retrieve() override;
  // Whether the external subset was read, and where from.
  bool IsExternalSubsetRead() const { return FExternalRead; }
  const std::string& GetExternalLocation() const { return FExternalLocation; }
  // The locations of every resource read for this DTD: the external subset
  // and the external entities.
  std::vector<std::string> GetReadLocations() const;
  // The document-level rules: a root element named as declared, each
  // element declared once, external entities only in a document that is
  // not standalone, unparsed entities with declared notations.
  void Validate() override;
  // The declaration in the document's write mode (see TWriteMode). An
  // external subset that was not read keeps its identifier in every mode,
  // and is never replaced by a DTD file.
  void Write(TStream& Stream, int Level) override;

 private:
  // Declarations of one type and folded name, in list order.
  using TBucket = std::vector<TKaXMLNode*>;

  static std::u16string KeyOf(const TKaXMLNode* Node);
  // The first node of the slot's type that Name finds, cast to the class
  // that type's getter returns (nil when the node is of another class).
  template <class T>
  T* Find(int Slot, std::u16string_view Name) const;
  TKaXMLNode* Lookup(int Slot, std::u16string_view Name, bool Exact) const;
  // Indexes the nodes appended since the index last saw the end of the list.
  void CatchUp() const;
  void IndexNode(TKaXMLNode* Node) const;
  void ChildUnlinked(const TKaXMLNode& Child) override;
  void UnindexNode(const TKaXMLNode* Node);
  void RebuildIndex() const;
  // " [", the nodes (only those of the document itself when Internal), "]>".
  void WriteDeclarations(TStream& Stream, int Level, bool Internal = false);
  // The declarations into a DTD file beside the output; returns its name.
  std::string WriteDTDFile(TSideFiles& Files);

  TKaNodeList FNodeList;
  // Per slot: folded name (exact for entities) -> declarations.
  mutable std::array<TNameMap<TBucket>, kIndexSlots> FIndex;
  // Per slot: what Find returned for each exact name asked before, so that
  // a name asked again (every element asks for its declarations) costs one
  // hash of it. Emptied whenever the index changes, or the way names
  // compare (FFoundExact) does.
  mutable std::array<TNameTable<TKaXMLNode*>, kIndexSlots> FFound;
  mutable bool FFoundExact = false;
  mutable TKaXMLNode* FLastIndexed = nullptr;  // the list's last node when indexed
  // A node left the list behind the index's back: the next lookup reindexes.
  mutable bool FIndexStale = false;
  bool FExternalRead = false;
  std::string FExternalLocation;
};

}  // namespace lumora
