#include <gtest/gtest.h>

#include <climits>

#include "qebgeolib/companion/corelib/dstruct.h"

using namespace qeb;

TEST(TBitFld, SetGetClearAndBounds) {
  TBitFld B;
  EXPECT_EQ(B.GetSize(), 0);
  B.SetBit(1, true); // ignored on an empty set
  EXPECT_FALSE(B.GetBit(1));

  B.SetSize(130);
  for (int32_t I = 1; I <= 130; ++I)
    EXPECT_FALSE(B.GetBit(I));
  for (int32_t I : {1, 64, 65, 128, 130})
    B.SetBit(I, true);
  for (int32_t I = 1; I <= 130; ++I)
    EXPECT_EQ(B.GetBit(I), I == 1 || I == 64 || I == 65 || I == 128 || I == 130) << I;
  B.SetBit(64, false);
  EXPECT_FALSE(B.GetBit(64));
  EXPECT_TRUE(B.GetBit(65));

  for (int32_t I : {0, -1, 131, INT_MIN, INT_MAX}) {
    B.SetBit(I, true);
    EXPECT_FALSE(B.GetBit(I)) << I;
  }

  B.Clear();
  for (int32_t I = 1; I <= 130; ++I)
    EXPECT_FALSE(B.GetBit(I));
}

TEST(TBitFld, ResizeKeepsBitsAndCutBitsComeBackClear) {
  TBitFld B(70);
  B.SetBit(3, true);
  B.SetBit(69, true);
  B.SetSize(68); // cuts bit 69 inside the second word
  EXPECT_FALSE(B.GetBit(69));
  B.SetSize(200);
  EXPECT_TRUE(B.GetBit(3));
  EXPECT_FALSE(B.GetBit(69));
  EXPECT_FALSE(B.GetBit(200));

  B.SetSize(-5);
  EXPECT_EQ(B.GetSize(), 0);
  EXPECT_FALSE(B.GetBit(3));
  B.SetSize(10);
  EXPECT_FALSE(B.GetBit(3));
}
