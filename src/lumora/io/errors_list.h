// Validity errors: each is a message and the node it concerns, collected in
// the parser's list in the order they were found.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lumora/framework/list.h"
#include "lumora/framework/strings.h"

namespace lumora {

class TKaXMLNode;

class TKaError : public TObject {
 public:
  // The node is not owned: it belongs to its document, and may be nil. The
  // position is where the parser read the node (0 when unknown): kept here,
  // since the node may change or go before the error is read.
  TKaError(std::string message, TKaXMLNode* node, int32_t line = 0, int32_t column = 0)
      : FMessage(std::move(message)), FNode(node), FLine(line), FColumn(column) {}

  const std::string& GetMessage() const { return FMessage; }
  TKaXMLNode* GetNode() const { return FNode; }
  int32_t GetLine() const { return FLine; }
  int32_t GetColumn() const { return FColumn; }

 private:
  std::string FMessage;
  TKaXMLNode* FNode;
  int32_t FLine;
  int32_t FColumn;
};

// The entry that closes a list that reached its limit.
inline constexpr const char* kTooManyErrors =
    "[XML]: Too many validity errors; only the first %d are listed.";

// Owns its entries. A list with a limit keeps at most that many errors, then
// one entry that says so, and refuses the rest: a document that repeats one
// fault a million times costs no more than one that repeats it a thousand.
class TKaErrorsList : public TList<TKaError> {
 public:
  TKaErrorsList() = default;
  ~TKaErrorsList() override { Clear(); }

  // Returns the index of the entry, or -1 when the list is full (the entry
  // is destroyed).
  int Add(std::unique_ptr<TKaError> error);
  int Add(std::string message, TKaXMLNode* node, int32_t line = 0, int32_t column = 0) {
    if (IsFull()) return -1;
    return Add(std::make_unique<TKaError>(std::move(message), node, line, column));
  }
  // Removes and destroys every entry; the list takes errors again.
  void Clear() override;

  // The most errors kept; 0 (the default) keeps all.
  int GetLimit() const { return FLimit; }
  void SetLimit(int limit) { FLimit = limit < 0 ? 0 : limit; }
  // Whether errors are refused now, the limit being reached.
  bool IsFull() const { return FLimit > 0 && FKept >= FLimit; }

  // Appends the message of every entry to list, in order.
  void CreateMessagesList(TStrings& list) const;
  // Appends the name of every entry's node to list (an empty line for an
  // entry without node), so that line i of both lists belongs to error i.
  void CreateNodesList(TStrings& list) const;

 private:
  int FLimit = 0;
  int FKept = 0;  // errors added since the last Clear, the closing entry not counted
};

}  // namespace lumora
