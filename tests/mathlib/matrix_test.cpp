#include <gtest/gtest.h>

#include <stdexcept>

#include "qebgeolib/companion/mathlib/matrix.h"
#include "qebgeolib/companion/mathlib/vector.h"

using namespace qeb;

TEST(TMatrix, ResizeFillCloneAndAccess) {
  TMatrix M;
  EXPECT_EQ(M.NrOfColumns(), 0);
  M.Resize(5, 3);
  EXPECT_EQ(M.NrOfColumns(), 5);
  EXPECT_EQ(M.NrOfRows(), 3);
  EXPECT_EQ(M.GetVal(5, 3), 0.0);
  for (int32_t R = 1; R <= 3; ++R)
    for (int32_t C = 1; C <= 5; ++C)
      M.SetVal(C, R, 10 * C + R);
  EXPECT_EQ(M.GetVal(4, 2), 42.0);

  // Cells in both shapes keep their values (column, row); new cells are 0.
  M.Resize(3, 4);
  EXPECT_EQ(M.GetVal(3, 3), 33.0);
  EXPECT_EQ(M.GetVal(1, 2), 12.0);
  EXPECT_EQ(M.GetVal(3, 4), 0.0);
  M.Resize(6, 4);
  EXPECT_EQ(M.GetVal(2, 1), 21.0);
  EXPECT_EQ(M.GetVal(6, 1), 0.0);

  TMatrix Copy;
  Copy.Clone(M);
  M.Fill(-1);
  EXPECT_EQ(Copy.NrOfColumns(), 6);
  EXPECT_EQ(Copy.NrOfRows(), 4);
  EXPECT_EQ(Copy.GetVal(3, 3), 33.0);
  EXPECT_EQ(M.GetVal(3, 3), -1.0);
  Copy.Clone(Copy);
  EXPECT_EQ(Copy.GetVal(3, 3), 33.0);

  M.Resize(-2, 7);
  EXPECT_EQ(M.NrOfColumns(), 0);
  EXPECT_EQ(M.NrOfRows(), 7);
  M.Resize(2, 2);
  EXPECT_EQ(M.GetVal(2, 2), 0.0);
}

TEST(TVector, SizeAndAccess) {
  TVector V;
  V.SetVecSize(3);
  EXPECT_EQ(V.NrOfElem(), 3);
  V.SetVal(3, 2.5);
  V.SetVecSize(5);
  EXPECT_EQ(V.GetVal(3), 2.5);
  EXPECT_EQ(V.GetVal(5), 0.0);
  V.SetVecSize(-1);
  EXPECT_EQ(V.NrOfElem(), 0);
}

#ifndef NDEBUG
TEST(TMatrixAndTVector, DebugBuildsRejectBadIndexes) {
  TMatrix M(2, 3);
  EXPECT_THROW(M.GetVal(0, 1), std::out_of_range);
  EXPECT_THROW(M.GetVal(3, 1), std::out_of_range);
  EXPECT_THROW(M.SetVal(1, 4, 0), std::out_of_range);
  try {
    M.GetVal(3, 1);
  } catch (const std::out_of_range& E) {
    EXPECT_STREQ(E.what(), "TMatrix: element (3, 1) outside 2 columns x 3 rows");
  }
  TVector V(2);
  EXPECT_THROW(V.GetVal(0), std::out_of_range);
  EXPECT_THROW(V.SetVal(3, 1), std::out_of_range);
  try {
    V.GetVal(-1);
  } catch (const std::out_of_range& E) {
    EXPECT_STREQ(E.what(), "TVector: element -1 outside 1..2");
  }
}
#endif
