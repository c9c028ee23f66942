#include "lumora/dtd/content_model.h"

#include <cstring>
#include <utility>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/wide_output.h"
#include "lumora/parser/content_model_parser.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// The mark a node's occurrence is written with; none for ocOnce and for
// codes that are no occurrence.
std::u16string_view Mark(uint8_t occurrence) {
  switch (occurrence) {
    case ocOptional:
      return u"?";
    case ocOneOrMore:
      return u"+";
    case ocZeroOrMore:
      return u"*";
    default:
      return u"";
  }
}

// Names compare exactly under the strict grammar, as in XML; the relaxed
// one ignores the case of ASCII letters.
bool SameName(const TKaXMLDocument* doc, std::u16string_view a, std::u16string_view b) {
  const TKaOrvane* parser = doc ? doc->GetParser() : nullptr;
  if (parser && parser->GetStandardXML()) return a == b;
  return XMLCompareText(a, b) == 0;
}

}  // namespace

TKaContentModel::TKaContentModel(std::u16string_view Name, uint8_t Kind, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, CONTENT_MODEL_NODE, Doc), FKind(Kind), FChildren(Doc, this) {}

TKaContentModel::~TKaContentModel() { FChildren.Clear(); }

std::unique_ptr<TKaContentModel> TKaContentModel::CreateCMFromString(std::u16string_view Text,
                                                                     TKaXMLDocument* Doc) {
  std::unique_ptr<TKaContentModel> model;
  TContentModelParser parser(nullptr);
  parser.ParseFromString(Text, model, Doc);
  return model;
}

uint8_t TKaContentModel::GetOccurrence() const {
  return FNodeType == CONTENT_MODEL_NODE ? ocOnce : FNodeType;
}

TKaContentModel* TKaContentModel::AddElement(std::u16string_view Name, uint8_t Occurrence) {
  if (FKind == cmMixed) {
    for (const TKaXMLNode* child = FChildren.GetFirst(); child; child = child->Next()) {
      if (child->GetType() == Occurrence && SameName(FOwnerDocument, child->GetName(), Name))
        throw EKaDOMException(DUPLICATE_MIXED_NAME_ERR,
                              "Duplicate typesdeclaration is not allowed in mixed content.");
    }
  }
  auto leaf = CreateNamedCM(Name, FKind, FOwnerDocument);
  leaf->SetType(Occurrence);
  return static_cast<TKaContentModel*>(FChildren.AppendChild(std::move(leaf)));
}

TKaContentModel* TKaContentModel::AddContent(TAdopt<TKaContentModel> Model) {
  FChildren.AppendChild(Model.get());
  return Model.Commit();
}

TKaContentModel* TKaContentModel::GetElement(std::u16string_view Name) const {
  // Depth first without recursion: the child lists still to finish.
  std::vector<const TKaXMLNode*> pending{FChildren.GetFirst()};
  while (!pending.empty()) {
    const TKaXMLNode* node = pending.back();
    if (!node) {
      pending.pop_back();
      continue;
    }
    pending.back() = node->Next();
    const auto* model = dynamic_cast<const TKaContentModel*>(node);
    if (!model) continue;
    if (model->FName.empty())
      pending.push_back(model->FChildren.GetFirst());
    else if (model->FName == Name)
      return const_cast<TKaContentModel*>(model);
  }
  return nullptr;
}

std::u16string TKaContentModel::ToText() const {
  TMemoryStream stream;
  const_cast<TKaContentModel*>(this)->Write(stream, 0);
  std::u16string text(static_cast<size_t>(stream.Size() / 2), u'\0');
  std::memcpy(text.data(), stream.Memory(), text.size() * 2);
  return text;
}

std::string TKaContentModel::ToString() const { return WideToSystem(ToText()); }

void TKaContentModel::Write(TStream& Stream, int Level) {
  // Groups nest as deep as the tree does: an explicit stack of the groups
  // open, each with the child to write next.
  struct TOpenGroup {
    const TKaContentModel* Group;
    TKaXMLNode* Next;
  };
  std::vector<TOpenGroup> open;
  // Writes what stands before a node's children; true when it has a list
  // of children to write.
  auto begin = [&](const TKaContentModel& node) {
    if (!node.FName.empty()) {
      WriteWide(Stream, node.FName);
      return false;
    }
    switch (node.FKind) {
      case cmEmpty:
        WriteWide(Stream, u" EMPTY");
        return false;
      case cmAny:
        WriteWide(Stream, u" ANY");
        return false;
      case cmMixed:
        WriteWide(Stream, u"(#PCDATA");
        break;
      case cmChildren:
        WriteWide(Stream, u"(");
        break;
      default:
        return false;
    }
    open.push_back({&node, node.FChildren.GetFirst()});
    return true;
  };
  begin(*this);
  while (!open.empty()) {
    TOpenGroup& top = open.back();
    const TKaContentModel& group = *top.Group;
    TKaXMLNode* child = top.Next;
    if (!child) {
      open.pop_back();
      WriteWide(Stream, u")");
      if (group.FKind == cmMixed) {
        if (group.FChildren.HasChildNodes()) WriteWide(Stream, u"*");
      } else {
        WriteWide(Stream, Mark(group.FNodeType));
      }
      continue;
    }
    top.Next = child->Next();
    if (group.FKind == cmMixed)
      WriteWide(Stream, u"|");
    else if (child != group.FChildren.GetFirst())
      WriteWide(Stream, std::u16string_view(&group.FDelimiter, 1));
    auto* model = dynamic_cast<TKaContentModel*>(child);
    if (!model) {
      child->Write(Stream, Level);
      continue;
    }
    // A leaf's mark is its parent's to write; a group writes its own.
    if (!begin(*model) && !model->FName.empty() && group.FKind != cmMixed)
      WriteWide(Stream, Mark(model->FNodeType));
  }
}

std::unique_ptr<TKaXMLNode> TKaContentModel::CloneNode() const {
  auto shallow = [](const TKaContentModel& node) {
    auto copy = std::make_unique<TKaContentModel>(node.FName, node.FKind, node.FOwnerDocument);
    copy->FNodeType = node.FNodeType;
    copy->FDelimiter = node.FDelimiter;
    copy->FValue = node.FValue;
    return copy;
  };
  auto root = shallow(*this);
  // Pairs of a group and its copy whose children are still to be copied.
  std::vector<std::pair<const TKaContentModel*, TKaContentModel*>> pending{{this, root.get()}};
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    for (const TKaXMLNode* child = from->FChildren.GetFirst(); child; child = child->Next()) {
      const auto* model = dynamic_cast<const TKaContentModel*>(child);
      if (!model) {
        to->FChildren.AppendChild(child->CloneNode());
        continue;
      }
      auto copy = shallow(*model);
      pending.emplace_back(model, copy.get());
      to->FChildren.AppendChild(std::move(copy));
    }
  }
  return root;
}

void TKaContentModel::MoveToDocument(TKaXMLDocument* Doc) {
  std::vector<TKaContentModel*> pending{this};
  while (!pending.empty()) {
    TKaContentModel* group = pending.back();
    pending.pop_back();
    group->FOwnerDocument = Doc;
    group->FChildren.SetOwnerDocument(Doc);
    for (TKaXMLNode* child = group->FChildren.GetFirst(); child; child = child->Next()) {
      if (auto* model = dynamic_cast<TKaContentModel*>(child))
        pending.push_back(model);
      else
        child->MoveToDocument(Doc);
    }
  }
}

}  // namespace lumora
