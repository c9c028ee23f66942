#include "lumora/io/errors_list.h"

#include "lumora/dom/node.h"
#include "lumora/framework/sysutils.h"

namespace lumora {

int TKaErrorsList::Add(std::unique_ptr<TKaError> error) {
  if (IsFull()) return -1;
  const int index = TList<TKaError>::Add(error.get());
  error.release();
  if (++FKept == FLimit)
    TList<TKaError>::Add(new TKaError(Format(kTooManyErrors, FLimit), nullptr));
  return index;
}

void TKaErrorsList::Clear() {
  for (TKaError* error : *this) delete error;
  TList<TKaError>::Clear();
  FKept = 0;
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
