// Allocation rules of the map module: the conversions are hot paths of
// rendering and may not allocate; a landmark list that cannot grow reports
// it and stays whole. Every allocation of this test binary goes through the
// counting (and, on request, failing) operator new below.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "qebgeolib/voziza/view.h"
#include "tests/voziza/calibtest.h"

namespace {
std::size_t Allocations = 0;
std::size_t FailAbove = SIZE_MAX; // larger requests fail
} // namespace

void* operator new(std::size_t Size) {
  ++Allocations;
  if (Size > FailAbove) throw std::bad_alloc();
  if (void* P = std::malloc(Size ? Size : 1)) return P;
  throw std::bad_alloc();
}
void operator delete(void* P) noexcept {
  std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
  std::free(P);
}

using namespace qeb;

TEST(CalibrationAlloc, ConversionsDoNotAllocate) {
  test::TTestCalib C;
  for (TCalibModel M :
       {cmParabolicIp, cmBiquadraticPn, cmConicConformal, cmMillerCylindrical, cmEquiRect, cmUTM}) {
    C.SetCalibModel(M);
    C.ClearCalibData();
    if (M == cmParabolicIp) {
      for (int32_t K = 0; K < 3; ++K)
        for (int32_t I = 0; I < 4; ++I) {
          C.AddCalibPoint(gtlParallel, 48 - K * 0.4, I * 300, K * 400 + I);
          C.AddCalibPoint(gtlMeridian, 8 + K * 0.5, K * 500 + I, I * 250);
        }
    } else if (M == cmUTM) {
      C.SetUTMZone(32);
      for (int32_t I = 0; I < 5; ++I)
        C.AddCalibPoint(5300000.0 - I * 2000, 450000.0 + I * I * 900, 32, hemiNorth, I * I * 90,
                        I * 200);
    } else {
      for (int32_t I = 0; I < 5; ++I)
        C.AddCalibPoint(test::EqLat(I * 200), test::EqLong(I * I * 40), I * I * 40, I * 200);
    }
    const std::size_t Before = Allocations;
    int32_t Valid = 0;
    for (int32_t Y = 0; Y < 800; Y += 37)
      for (int32_t X = 0; X < 1000; X += 41) {
        bool V1 = false, V2 = false;
        int32_t Px = 0, Py = 0;
        Valid += C.CalcLatitude(X, Y, V1) + C.CalcLongitude(TPoint{X, Y}, V2) > 0;
        Valid += C.CalcPixelCoords(47.5, 8.5, Px, Py) + C.CalcPixelCoordsUTM(5e6, 5e5, Px, Py);
        Valid += C.CalcUTMyFromNorthingX(5e6, X) + C.CalcUTMxFromEastingY(5e5, Y) > 0;
        Valid += C.IsPositionWithinMap(47.5, 8.5) + V1 + V2;
      }
    EXPECT_EQ(Allocations, Before) << CalibModelNames[M];
    EXPECT_GT(Valid, 0) << CalibModelNames[M];
  }
}

TEST(CalibrationAlloc, LandMarkListThatCannotGrowStaysWhole) {
  TVozIza V(nullptr);
  V.SetName("Map1");
  V.SetSuppressPaint(true);
  for (int I = 0; I < 1000; ++I)
    V.AddLandMark(I, 0, 0);
  FailAbove = 1000 * sizeof(TLandMark);
  try {
    V.AddLandMark(1, 1, 1);
    ADD_FAILURE() << "no error";
  } catch (const EQEBVozIzaError& E) {
    EXPECT_STREQ(E.what(), "Component \"Map1\": insufficient memory");
  }
  TVozIza Copy(nullptr);
  Copy.SetName("Map2");
  FailAbove = 500 * sizeof(TLandMark); // not even the 1000 entries of the copy
  EXPECT_THROW(Copy.Assign(&V), EQEBVozIzaError);
  FailAbove = SIZE_MAX;
  EXPECT_EQ(V.GetNumLandMarks(), 1000);
  EXPECT_EQ(V.GetLandMarkCapacity(), 1000);
  EXPECT_EQ(V.GetLandMarkData(1000).Latitude, 999);
  EXPECT_EQ(Copy.GetNumLandMarks(), 0);
}
