// Component model: assignment fallbacks and ownership bookkeeping.
#include "qebgeolib/platform/base/classes.h"

#include <algorithm>
#include <stdexcept>

namespace qeb {

void TPersistent::AssignError(const TPersistent* Source, const TPersistent* Dest) {
  const std::string_view SourceName = Source ? Source->ClassName() : "nil";
  const std::string_view DestName = Dest ? Dest->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + std::string(SourceName) + " to a " +
                      std::string(DestName));
}

void TPersistent::Assign(const TPersistent* Source) {
  if (Source == nullptr) AssignError(nullptr, this);
  Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) const {
  AssignError(this, Dest);
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  // Each round takes the last component off the list before deleting it, so
  // a destructor that deletes a sibling (which then leaves this list) cannot
  // disturb the loop.
  while (!FComponents.empty()) {
    TComponent* C = FComponents.back();
    FComponents.pop_back();
    C->FOwner = nullptr;
    delete C;
  }
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int32_t Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw std::out_of_range("List index out of bounds (" + IntToStr(Index) + ")");
  return FComponents[static_cast<std::size_t>(Index)];
}

int32_t TComponent::GetComponentIndex() const {
  if (!FOwner) return -1;
  const auto& L = FOwner->FComponents;
  return static_cast<int32_t>(std::find(L.begin(), L.end(), this) - L.begin());
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameText(C->FName, AName)) return C;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  // An ownership cycle would delete its members twice.
  for (const TComponent* O = this; O; O = O->FOwner)
    if (O == AComponent) throw std::invalid_argument("A component cannot own itself");
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this) return;
  FComponents.erase(std::find(FComponents.begin(), FComponents.end(), AComponent));
  AComponent->FOwner = nullptr;
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  if (Value)
    FComponentState |= csDesigning;
  else
    FComponentState &= static_cast<TComponentState>(~csDesigning);
  if (SetChildren)
    for (TComponent* C : FComponents)
      C->SetDesigning(Value, true);
}

} // namespace qeb
