// Node positions in four bytes. Most positions fit one of two packings: a
// long document of short lines, or a few very long lines (a document written
// without line breaks). The rest go to a table of the owner document.
#include "lumora/dom/document.h"
#include "lumora/dom/node.h"

namespace lumora {
namespace {

constexpr uint32_t kInTable = 0x80000000u;  // the rest is an index into the table
constexpr uint32_t kLongLines = 0x40000000u;
// Without kLongLines: 19 bits of line above 11 bits of column.
constexpr int kColumnBits = 11;
constexpr uint32_t kMaxLine = (1u << 19) - 1, kMaxColumn = (1u << kColumnBits) - 1;
// With kLongLines: 10 bits of line above 20 bits of column.
constexpr int kLongColumnBits = 20;
constexpr uint32_t kMaxLongLine = (1u << 10) - 1, kMaxLongColumn = (1u << kLongColumnBits) - 1;

}  // namespace

void TKaXMLNode::SetPosition(int32_t Line, int32_t Column) {
  FPosition = 0;
  if (Line <= 0) return;
  const auto line = static_cast<uint32_t>(Line);
  const auto column = static_cast<uint32_t>(Column < 0 ? 0 : Column);
  if (line <= kMaxLine && column <= kMaxColumn) {
    FPosition = line << kColumnBits | column;
  } else if (line <= kMaxLongLine && column <= kMaxLongColumn) {
    FPosition = kLongLines | line << kLongColumnBits | column;
  } else if (FOwnerDocument) {
    const uint32_t index = FOwnerDocument->AddNodePosition(this, Line, Column);
    if (index < kInTable) FPosition = kInTable | index;
  }
}

int32_t TKaXMLNode::GetLine() const {
  if (FPosition & kInTable) {
    const TNodePosition* entry =
        FOwnerDocument ? FOwnerDocument->FindNodePosition(FPosition & ~kInTable, this) : nullptr;
    return entry ? entry->Line : 0;
  }
  if (FPosition & kLongLines)
    return static_cast<int32_t>((FPosition & ~kLongLines) >> kLongColumnBits);
  return static_cast<int32_t>(FPosition >> kColumnBits);
}

int32_t TKaXMLNode::GetColumn() const {
  if (FPosition & kInTable) {
    const TNodePosition* entry =
        FOwnerDocument ? FOwnerDocument->FindNodePosition(FPosition & ~kInTable, this) : nullptr;
    return entry ? entry->Column : 0;
  }
  if (FPosition & kLongLines) return static_cast<int32_t>(FPosition & kMaxLongColumn);
  return static_cast<int32_t>(FPosition & kMaxColumn);
}

uint32_t TKaXMLDocument::AddNodePosition(const TKaXMLNode* Node, int32_t Line, int32_t Column) {
  FPositions.push_back({Node, Line, Column});
  return static_cast<uint32_t>(FPositions.size() - 1);
}

const TNodePosition* TKaXMLDocument::FindNodePosition(uint32_t Index,
                                                      const TKaXMLNode* Node) const {
  // A node that moved here from another document brings an index of that
  // document's table: the entry must name the node itself.
  if (Index >= FPositions.size() || FPositions[Index].Node != Node) return nullptr;
  return &FPositions[Index];
}

}  // namespace lumora
