// The base of the nodes that can name an external resource by a system and
// a public literal: the document type, entity and notation declarations.
#pragma once

#include <string>

#include "lumora/dom/node.h"
#include "lumora/io/resource_loader.h"

namespace lumora {

class TKaExternalNode : public TKaXMLNode {
 public:
  // Stores the literal, then reads the resource it names (Retrieve).
  void SetSystemLiteral(std::u16string_view Literal) {
    FSystemLiteral = Literal;
    Retrieve();
  }
  // Stores the literal only: the parsers read the resource when the
  // declaration is complete.
  void StoreSystemLiteral(std::u16string_view Literal) { FSystemLiteral = Literal; }
  void SetPublicLiteral(std::u16string_view Literal) { FPublicLiteral = Literal; }
  const std::u16string& GetSystemLiteral() const { return FSystemLiteral; }
  const std::u16string& GetPublicLiteral() const { return FPublicLiteral; }

  // The location (absolute path or URL) of the resource that holds this
  // declaration: relative system literals are resolved against it. Empty:
  // the file the owner document's parser reads, else the working folder.
  const std::string& GetBaseLocation() const { return FBaseLocation; }
  void SetBaseLocation(std::string Location) { FBaseLocation = std::move(Location); }

  virtual void Retrieve() = 0;
  // Reads the resource the literals name, as the owner document's parser
  // allows (catalogs, network, local files, limits); on failure calls the
  // parser's OnFileNotFound once with the literal as written and returns
  // false.
  bool ReadExternalFile(TResource& Resource);
  // The same, the bytes appended to Stream.
  bool ReadExternalFile(TStream& Stream);
  // The steps of the above on their own, within the same settings: a
  // download of URL, a local regular file, both appended to Stream; no
  // event fires.
  bool DownloadFile(const std::string& URL, TStream& Stream) const;
  bool GetLocalFile(const std::string& FileName, TStream& Stream) const;
  // URL trimmed, runs of blanks as "_", escaped for a request; always
  // true (an empty URL gives an empty result).
  static bool NormalizeURL(const std::string& URL, std::string& Result);

 protected:
  using TKaXMLNode::TKaXMLNode;

  // What the owner document's parser allows (the defaults without one).
  TResourceOptions ResourceOptions() const;

  // " PUBLIC" with the public literal and SystemLiteral when there is a
  // public literal, else " SYSTEM" with SystemLiteral.
  void WriteExternalId(TStream& Stream, std::u16string_view SystemLiteral) const;

  std::u16string FSystemLiteral;
  std::u16string FPublicLiteral;
  std::string FBaseLocation;
};

// A blank and the literal in double quotes; in apostrophes when it holds a
// double quote (a system literal may), so that it reads back.
void WriteQuotedLiteral(TStream& Stream, std::u16string_view Literal);

}  // namespace lumora
