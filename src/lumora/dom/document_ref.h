// How nodes and lists reach their document. A node taken out of a document
// (or made by its factories and never placed) belongs to the caller and may
// outlive the document; it must then read as having no document rather than
// reach into freed memory.
//
// Each document has one TDocumentLink, counted: the document and every node
// and list made for it hold a reference, so the link lives as long as any of
// them. The document clears the link when it ends. The counts are not
// atomic: a document and its nodes are used by one thread at a time.
#pragma once

#include <cstdint>

namespace lumora {

class TKaXMLDocument;

class TDocumentLink {
 public:
  // A new link to Doc with one reference, the caller's.
  explicit TDocumentLink(TKaXMLDocument* Doc) : FDocument(Doc) {}
  TDocumentLink(const TDocumentLink&) = delete;
  TDocumentLink& operator=(const TDocumentLink&) = delete;

  // Nil once the document has ended.
  TKaXMLDocument* Document() const { return FDocument; }
  // The document ends.
  void Forget() { FDocument = nullptr; }

  void Retain() { ++FRefs; }
  void Release() {
    if (--FRefs == 0) delete this;
  }

 private:
  ~TDocumentLink() = default;

  TKaXMLDocument* FDocument;
  uint64_t FRefs = 1;
};

// A counted reference to a document's link, read as a plain document
// pointer: nil for none, and nil once the document has ended.
class TDocumentRef {
 public:
  explicit TDocumentRef(TKaXMLDocument* Doc);
  // A reference through Link (nil for none); what the hot paths use.
  explicit TDocumentRef(TDocumentLink* Link) : FLink(Link) {
    if (FLink) FLink->Retain();
  }
  // Another reference to Other's document: no look-up.
  TDocumentRef(const TDocumentRef& Other) : FLink(Other.FLink) {
    if (FLink) FLink->Retain();
  }
  ~TDocumentRef() {
    if (FLink) FLink->Release();
  }
  TDocumentRef& operator=(const TDocumentRef& Other) {
    Reset(Other.FLink);
    return *this;
  }
  // Refers to Doc from now on (nil for none).
  TDocumentRef& operator=(TKaXMLDocument* Doc);

  TKaXMLDocument* Get() const { return FLink ? FLink->Document() : nullptr; }
  operator TKaXMLDocument*() const { return Get(); }
  TKaXMLDocument* operator->() const { return Get(); }
  // Whether both read the same document; the same link needs no look-up.
  bool SameDocument(const TDocumentRef& Other) const {
    return FLink == Other.FLink || Get() == Other.Get();
  }

 private:
  void Reset(TDocumentLink* Link) {
    if (Link == FLink) return;
    if (Link) Link->Retain();
    if (FLink) FLink->Release();
    FLink = Link;
  }

  TDocumentLink* FLink;
};

}  // namespace lumora
