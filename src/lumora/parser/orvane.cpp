#include "lumora/parser/orvane.h"

namespace lumora {

TKaOrvane::TKaOrvane(TComponent* AOwner)
    : TComponent(AOwner), FErrors(std::make_unique<TKaErrorsList>()) {}

TKaOrvane::~TKaOrvane() = default;

}  // namespace lumora
