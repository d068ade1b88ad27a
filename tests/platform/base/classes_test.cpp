#include "qebgeolib/platform/base/classes.h"

#include <gtest/gtest.h>

using namespace qeb;

namespace {

struct TProbe : TComponent {
  TProbe(TComponent* AOwner, int* Deaths) : TComponent(AOwner), FDeaths(Deaths) {}
  ~TProbe() override { ++*FDeaths; }
  std::string_view ClassName() const override { return "TProbe"; }
  void Loaded() override {
    TComponent::Loaded();
    ++LoadedCalls;
  }
  int* FDeaths;
  int LoadedCalls = 0;
  TComponent* Victim = nullptr; // deleted by this one's destructor
};

struct TKiller : TProbe {
  using TProbe::TProbe;
  ~TKiller() override { delete Victim; }
};

// Knows how to copy itself into another TValue and nothing else.
struct TValue : TPersistent {
  int V = 0;
  std::string_view ClassName() const override { return "TValue"; }
  void AssignTo(TPersistent* Dest) const override {
    if (auto* D = dynamic_cast<TValue*>(Dest))
      D->V = V;
    else
      TPersistent::AssignTo(Dest);
  }
};

std::string AssignMessage(TPersistent& Dest, const TPersistent* Source) {
  try {
    Dest.Assign(Source);
  } catch (const EConvertError& E) {
    return E.what();
  }
  return "no error";
}

} // namespace

TEST(Classes, AssignDelegatesAndReportsClassNames) {
  TValue A, B;
  A.V = 7;
  B.Assign(&A);
  EXPECT_EQ(B.V, 7);

  TPersistent P;
  TComponent C(nullptr);
  EXPECT_EQ(TObject().ClassName(), "TObject");
  EXPECT_EQ(AssignMessage(P, nullptr), "Cannot assign a nil to a TPersistent");
  EXPECT_EQ(AssignMessage(P, &C), "Cannot assign a TComponent to a TPersistent");
  EXPECT_EQ(AssignMessage(C, &A), "Cannot assign a TValue to a TComponent");
  EXPECT_EQ(AssignMessage(B, &P), "Cannot assign a TPersistent to a TValue");
}

TEST(Classes, OwnerDeletesOwnedComponentsAndEarlyDeletionIsSafe) {
  int Deaths = 0;
  auto* Owner = new TProbe(nullptr, &Deaths);
  auto* A = new TProbe(Owner, &Deaths);
  auto* B = new TProbe(Owner, &Deaths);
  auto* Grandchild = new TProbe(B, &Deaths);
  A->SetName("Alpha");
  B->SetName("beta");
  EXPECT_EQ(Owner->ComponentCount(), 2);
  EXPECT_EQ(Owner->Components(1), B);
  EXPECT_EQ(B->GetComponentIndex(), 1);
  EXPECT_EQ(Grandchild->GetOwner(), B);
  EXPECT_EQ(Owner->FindComponent("BETA"), B);
  EXPECT_EQ(Owner->FindComponent(""), nullptr);
  EXPECT_EQ(Owner->FindComponent("gamma"), nullptr);
  EXPECT_THROW(Owner->Components(2), std::out_of_range);
  EXPECT_THROW(Owner->Components(-1), std::out_of_range);

  delete A; // leaves its owner's list
  EXPECT_EQ(Deaths, 1);
  EXPECT_EQ(Owner->ComponentCount(), 1);
  EXPECT_EQ(Owner->Components(0), B);

  // A destructor that deletes a sibling does not disturb the owner.
  auto* Killer = new TKiller(Owner, &Deaths);
  Killer->Victim = B;
  new TProbe(Owner, &Deaths);
  delete Owner; // the last child, Killer (taking B and Grandchild along), Owner
  EXPECT_EQ(Deaths, 1 + 5);
}

TEST(Classes, OwnershipMovesAndCyclesAreRefused) {
  TComponent A(nullptr), B(nullptr);
  auto* C = new TComponent(&A);
  B.InsertComponent(C);
  EXPECT_EQ(A.ComponentCount(), 0);
  EXPECT_EQ(C->GetOwner(), &B);
  EXPECT_THROW(C->InsertComponent(&B), std::invalid_argument);
  EXPECT_THROW(C->InsertComponent(C), std::invalid_argument);
  B.RemoveComponent(C);
  EXPECT_EQ(C->GetOwner(), nullptr);
  delete C;
  EXPECT_EQ(B.ComponentCount(), 0);
}

TEST(Classes, ComponentState) {
  int Deaths = 0;
  TProbe Owner(nullptr, &Deaths);
  auto* Child = new TProbe(&Owner, &Deaths);
  EXPECT_EQ(Owner.ComponentState(), 0);
  Owner.SetDesigning(true);
  EXPECT_TRUE(Child->ComponentState() & csDesigning);
  Owner.SetDesigning(false, false);
  EXPECT_FALSE(Owner.ComponentState() & csDesigning);
  EXPECT_TRUE(Child->ComponentState() & csDesigning);

  Child->BeginLoading();
  EXPECT_EQ(Child->ComponentState(), csDesigning | csLoading);
  Child->Loaded();
  EXPECT_EQ(Child->ComponentState(), csDesigning);
  EXPECT_EQ(Child->LoadedCalls, 1);
}
