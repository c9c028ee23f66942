#include "lumora/io/errors_list.h"

#include "lumora/dom/node.h"
#include "lumora/framework/sysutils.h"

namespace lumora {

void TKaErrorsList::Clear() {
  for (TKaError* error : *this) delete error;
  TList<TKaError>::Clear();
}

void TKaErrorsList::CreateMessagesList(TStrings& list) const {
  for (const TKaError* error : *this) list.Add(error->GetMessage());
}

void TKaErrorsList::CreateNodesList(TStrings& list) const {
  for (const TKaError* error : *this) {
    list.Add(error->GetNode() ? WideToSystem(error->GetNode()->GetName()) : std::string());
  }
}

}  // namespace lumora
