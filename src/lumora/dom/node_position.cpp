// Node positions in four bytes. Most positions fit one of three packings: a
// document of short lines, one of many lines (over half a million, where
// nodes start near the line's beginning), or a few very long lines (a
// document written without line breaks). The rest go to a table of the
// owner document.
#include "lumora/dom/document.h"
#include "lumora/dom/node.h"

namespace lumora {
namespace {

// The two top bits tell the packing.
constexpr uint32_t kPacking = 0xC0000000u;
constexpr uint32_t kShortLines = 0;
// 19 bits of line above 11 bits of column.
constexpr int kColumnBits = 11;
constexpr uint32_t kMaxLine = (1u << 19) - 1, kMaxColumn = (1u << kColumnBits) - 1;
constexpr uint32_t kLongLines = 0x40000000u;
// 10 bits of line above 20 bits of column.
constexpr int kLongColumnBits = 20;
constexpr uint32_t kMaxLongLine = (1u << 10) - 1, kMaxLongColumn = (1u << kLongColumnBits) - 1;
constexpr uint32_t kManyLines = 0xC0000000u;
// 22 bits of line above 8 bits of column.
constexpr int kManyColumnBits = 8;
constexpr uint32_t kMaxManyLine = (1u << 22) - 1, kMaxManyColumn = (1u << kManyColumnBits) - 1;
constexpr uint32_t kInTable = 0x80000000u;  // the rest is an index into the table
constexpr uint32_t kMaxIndex = ~kPacking;

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
  } else if (line <= kMaxManyLine && column <= kMaxManyColumn) {
    FPosition = kManyLines | line << kManyColumnBits | column;
  } else if (FOwnerDocument) {
    const uint32_t index = FOwnerDocument->AddNodePosition(this, Line, Column);
    if (index <= kMaxIndex) FPosition = kInTable | index;
  }
}

int32_t TKaXMLNode::GetLine() const {
  switch (FPosition & kPacking) {
    case kShortLines:
      return static_cast<int32_t>(FPosition >> kColumnBits);
    case kLongLines:
      return static_cast<int32_t>((FPosition & ~kPacking) >> kLongColumnBits);
    case kManyLines:
      return static_cast<int32_t>((FPosition & ~kPacking) >> kManyColumnBits);
    default: {
      const TNodePosition* entry =
          FOwnerDocument ? FOwnerDocument->FindNodePosition(FPosition & kMaxIndex, this) : nullptr;
      return entry ? entry->Line : 0;
    }
  }
}

int32_t TKaXMLNode::GetColumn() const {
  switch (FPosition & kPacking) {
    case kShortLines:
      return static_cast<int32_t>(FPosition & kMaxColumn);
    case kLongLines:
      return static_cast<int32_t>(FPosition & kMaxLongColumn);
    case kManyLines:
      return static_cast<int32_t>(FPosition & kMaxManyColumn);
    default: {
      const TNodePosition* entry =
          FOwnerDocument ? FOwnerDocument->FindNodePosition(FPosition & kMaxIndex, this) : nullptr;
      return entry ? entry->Column : 0;
    }
  }
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
