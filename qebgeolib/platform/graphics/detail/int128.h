// Internal: a signed 128-bit integer for the exact rasterizer and scaling
// arithmetic, whose intermediate products of two 64-bit coordinates need more
// than 64 bits. Compilers for 64-bit targets have one built in; 32-bit
// targets (the 32-bit build of the library) get TPortableInt128.
#pragma once

#include <cstdint>

namespace qeb::detail {

// Two's complement in two 64-bit halves, with the operations of the built-in
// type that the rasterizer uses: + − × wrap around as the built-in type does,
// / and % truncate toward zero, and the divisor must not be zero.
class TPortableInt128 {
public:
  constexpr TPortableInt128() = default;
  constexpr TPortableInt128(int64_t V) // NOLINT: converts like a built-in integer
      : FLo(static_cast<uint64_t>(V)), FHi(V < 0 ? ~uint64_t{0} : 0) {}

  constexpr explicit operator int64_t() const { return static_cast<int64_t>(FLo); }
  // The upper 64 bits, as the built-in type's value >> 64.
  constexpr int64_t HighBits() const { return static_cast<int64_t>(FHi); }

  friend constexpr TPortableInt128 operator+(TPortableInt128 A, TPortableInt128 B) {
    const uint64_t Lo = A.FLo + B.FLo;
    return Make(Lo, A.FHi + B.FHi + (Lo < A.FLo ? 1 : 0));
  }
  friend constexpr TPortableInt128 operator-(TPortableInt128 A, TPortableInt128 B) {
    return A + Negate(B);
  }
  friend constexpr TPortableInt128 operator*(TPortableInt128 A, TPortableInt128 B) {
    uint64_t Hi = 0;
    const uint64_t Lo = MulWide(A.FLo, B.FLo, Hi);
    return Make(Lo, Hi + A.FHi * B.FLo + A.FLo * B.FHi);
  }
  friend constexpr TPortableInt128 operator/(TPortableInt128 A, TPortableInt128 B) {
    TPortableInt128 Q, R;
    DivMod(A, B, Q, R);
    return Q;
  }
  friend constexpr TPortableInt128 operator%(TPortableInt128 A, TPortableInt128 B) {
    TPortableInt128 Q, R;
    DivMod(A, B, Q, R);
    return R;
  }
  constexpr TPortableInt128& operator--() { return *this = *this - 1; }

  friend constexpr bool operator==(TPortableInt128 A, TPortableInt128 B) {
    return A.FLo == B.FLo && A.FHi == B.FHi;
  }
  friend constexpr bool operator<(TPortableInt128 A, TPortableInt128 B) {
    const auto HA = static_cast<int64_t>(A.FHi), HB = static_cast<int64_t>(B.FHi);
    return HA != HB ? HA < HB : A.FLo < B.FLo;
  }
  friend constexpr bool operator>(TPortableInt128 A, TPortableInt128 B) { return B < A; }
  friend constexpr bool operator<=(TPortableInt128 A, TPortableInt128 B) { return !(B < A); }
  friend constexpr bool operator>=(TPortableInt128 A, TPortableInt128 B) { return !(A < B); }

private:
  static constexpr TPortableInt128 Make(uint64_t Lo, uint64_t Hi) {
    TPortableInt128 R;
    R.FLo = Lo;
    R.FHi = Hi;
    return R;
  }
  static constexpr TPortableInt128 Negate(TPortableInt128 A) { return Make(~A.FLo, ~A.FHi) + 1; }
  // The full 128-bit product of two 64-bit values, from 32-bit halves.
  static constexpr uint64_t MulWide(uint64_t A, uint64_t B, uint64_t& Hi) {
    const uint64_t A0 = A & 0xFFFFFFFF, A1 = A >> 32, B0 = B & 0xFFFFFFFF, B1 = B >> 32;
    const uint64_t P00 = A0 * B0, P01 = A0 * B1, P10 = A1 * B0, P11 = A1 * B1;
    const uint64_t Mid = (P00 >> 32) + (P01 & 0xFFFFFFFF) + (P10 & 0xFFFFFFFF);
    Hi = P11 + (P01 >> 32) + (P10 >> 32) + (Mid >> 32);
    return (Mid << 32) | (P00 & 0xFFFFFFFF);
  }

  // Shift-and-subtract division of the magnitudes; the quotient takes the
  // sign of A·B and the remainder the sign of A, as C++ integers do.
  static constexpr void DivMod(TPortableInt128 A, TPortableInt128 B, TPortableInt128& Q,
                               TPortableInt128& R) {
    const bool NegA = static_cast<int64_t>(A.FHi) < 0, NegB = static_cast<int64_t>(B.FHi) < 0;
    const TPortableInt128 N = NegA ? Negate(A) : A, D = NegB ? Negate(B) : B;
    uint64_t QLo = 0, QHi = 0, RLo = 0, RHi = 0;
    for (int Bit = 127; Bit >= 0; --Bit) {
      RHi = (RHi << 1) | (RLo >> 63);
      RLo = (RLo << 1) | ((Bit >= 64 ? N.FHi >> (Bit - 64) : N.FLo >> Bit) & 1);
      if (RHi > D.FHi || (RHi == D.FHi && RLo >= D.FLo)) {
        const uint64_t Borrow = RLo < D.FLo ? 1 : 0;
        RLo -= D.FLo;
        RHi -= D.FHi + Borrow;
        if (Bit >= 64)
          QHi |= uint64_t{1} << (Bit - 64);
        else
          QLo |= uint64_t{1} << Bit;
      }
    }
    Q = Make(QLo, QHi);
    R = Make(RLo, RHi);
    if (NegA != NegB) Q = Negate(Q);
    if (NegA) R = Negate(R);
  }

  uint64_t FLo = 0;
  uint64_t FHi = 0;
};

#ifdef __SIZEOF_INT128__
__extension__ typedef __int128 Int128;
#else
using Int128 = TPortableInt128;
#endif

} // namespace qeb::detail
