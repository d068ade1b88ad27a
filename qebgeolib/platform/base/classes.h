// The component model of the framework: TObject with its class name,
// TPersistent with assignment between objects, and TComponent with owner,
// name and state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/platform/base/sysutils.h"

namespace qeb {

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject(TObject&&) = default;
  TObject& operator=(const TObject&) = default;
  TObject& operator=(TObject&&) = default;
  virtual ~TObject() = default;

  // The name of the most derived class; every class overrides it.
  virtual std::string_view ClassName() const { return "TObject"; }
};

// An object whose content can be copied into another object, possibly of a
// different class. Dest.Assign(Source) asks Source to copy itself into Dest
// (Source->AssignTo(Dest)); a class that can take content from another class
// overrides Assign, one that can give its content to another class overrides
// AssignTo, and both fall back to the base version for the classes they do
// not know. The base versions raise EConvertError
// "Cannot assign a <source class> to a <destination class>", with "nil" for
// a null object.
class TPersistent : public TObject {
public:
  std::string_view ClassName() const override { return "TPersistent"; }
  virtual void Assign(const TPersistent* Source);
  virtual void AssignTo(TPersistent* Dest) const;

protected:
  [[noreturn]] static void AssignError(const TPersistent* Source, const TPersistent* Dest);
};

// Bits of TComponent::ComponentState().
using TComponentState = uint8_t;
enum TComponentStateBit : uint8_t {
  csLoading = 0x01,    // between BeginLoading() and Loaded()
  csDesigning = 0x02,  // hosted by a form designer rather than a running program
  csDestroying = 0x04, // its destructor is running
};

// A component has an owner that deletes it, and owns the components created
// with it as owner. Components are created with raw new and their owner, or
// as plain objects with a null owner. Deleting a component first deletes the
// components it owns (the last created first), then removes it from its
// owner's list, so deleting an owned component early is safe. Components are
// neither copied nor moved: owners hold their addresses.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string_view ClassName() const override { return "TComponent"; }

  // Names are free text; they are not checked for uniqueness or syntax.
  const std::string& GetName() const { return FName; }
  virtual void SetName(const std::string& NewName) { FName = NewName; }

  // Free for the host's use.
  intptr_t GetTag() const { return FTag; }
  void SetTag(intptr_t Value) { FTag = Value; }

  TComponent* GetOwner() const { return FOwner; }
  int32_t ComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
  // The owned components in creation order, 0-based; std::out_of_range for a
  // bad index.
  TComponent* Components(int32_t Index) const;
  // Position of this component in its owner's list, -1 without owner.
  int32_t GetComponentIndex() const;
  // The first owned component with this name, letters compared without regard
  // to case; null for an empty name or when there is none.
  TComponent* FindComponent(std::string_view AName) const;

  // Moves ownership: InsertComponent takes AComponent from its current owner,
  // RemoveComponent leaves it without owner (the caller then deletes it).
  // Making a component the owner of itself or of one of its owners raises
  // std::invalid_argument.
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  TComponentState ComponentState() const { return FComponentState; }
  // Hosts that design rather than run mark a component and, by default, the
  // components it owns.
  void SetDesigning(bool Value, bool SetChildren = true);
  // Streaming code calls BeginLoading before it sets the stored properties
  // and Loaded after the last; components that defer work while loading
  // override Loaded and call the base version, which clears csLoading.
  void BeginLoading() { FComponentState |= csLoading; }
  virtual void Loaded() { FComponentState &= static_cast<TComponentState>(~csLoading); }

private:
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::string FName;
  intptr_t FTag = 0;
  TComponentState FComponentState = 0;
};

} // namespace qeb
