// Validity errors: each is a message and the node it concerns, collected in
// the parser's list in the order they were found.
#pragma once

#include <memory>
#include <string>

#include "lumora/framework/list.h"
#include "lumora/framework/strings.h"

namespace lumora {

class TKaXMLNode;

class TKaError : public TObject {
 public:
  // The node is not owned: it belongs to its document, and may be nil.
  TKaError(std::string message, TKaXMLNode* node) : FMessage(std::move(message)), FNode(node) {}

  const std::string& GetMessage() const { return FMessage; }
  TKaXMLNode* GetNode() const { return FNode; }

 private:
  std::string FMessage;
  TKaXMLNode* FNode;
};

// Owns its entries.
class TKaErrorsList : public TList<TKaError> {
 public:
  TKaErrorsList() = default;
  ~TKaErrorsList() override { Clear(); }

  int Add(std::unique_ptr<TKaError> error) {
    const int index = TList<TKaError>::Add(error.get());
    error.release();
    return index;
  }
  int Add(std::string message, TKaXMLNode* node) {
    return Add(std::make_unique<TKaError>(std::move(message), node));
  }
  // Removes and destroys every entry.
  void Clear() override;

  // Appends the message of every entry to list, in order.
  void CreateMessagesList(TStrings& list) const;
  // Appends the name of every entry's node to list (an empty line for an
  // entry without node), so that line i of both lists belongs to error i.
  void CreateNodesList(TStrings& list) const;
};

}  // namespace lumora
