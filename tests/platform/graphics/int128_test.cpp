#include "qebgeolib/platform/graphics/detail/int128.h"

#include <gtest/gtest.h>
#include <random>

using qeb::detail::TPortableInt128;

#ifdef __SIZEOF_INT128__
// The portable type must agree with the built-in one on every operation the
// rasterizer uses, including signs, carries and wrap-around.
TEST(PortableInt128, AgreesWithTheBuiltInType) {
  __extension__ typedef __int128 I128;
  std::mt19937_64 Rng(7);
  const int64_t Edges[] = {0, 1, -1, 2, -2, INT64_MAX, INT64_MIN, INT32_MAX, INT32_MIN, 3037000499};
  auto Pick = [&](int I) -> int64_t {
    if (I % 3 == 0) return Edges[Rng() % std::size(Edges)];
    if (I % 3 == 1) return static_cast<int64_t>(Rng()) >> (Rng() % 63);
    return static_cast<int64_t>(Rng());
  };
  auto Same = [](TPortableInt128 P, I128 B) {
    return static_cast<int64_t>(P) == static_cast<int64_t>(B) &&
           P.HighBits() == static_cast<int64_t>(B >> 64);
  };
  for (int I = 0; I < 200000; ++I) {
    const int64_t A = Pick(I), B = Pick(I + 1), C = Pick(I + 2);
    const TPortableInt128 PA = TPortableInt128(A) * B, PC = C;
    const I128 NA = I128(A) * B, NC = C;
    ASSERT_TRUE(Same(PA, NA)) << A << " * " << B;
    ASSERT_TRUE(Same(PA + PC, NA + NC));
    ASSERT_TRUE(Same(PA - PC, NA - NC));
    ASSERT_EQ(PA < PC, NA < NC);
    ASSERT_EQ(PA >= PC, NA >= NC);
    if (C != 0) {
      ASSERT_TRUE(Same(PA / PC, NA / NC)) << A << " * " << B << " / " << C;
      ASSERT_TRUE(Same(PA % PC, NA % NC)) << A << " * " << B << " % " << C;
      // The high half too: the quotient of a product by one factor.
      ASSERT_TRUE(Same(TPortableInt128(A) * C / PC, I128(A)));
    }
  }
}
#endif
