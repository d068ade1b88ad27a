// Block copies between bitmaps: 1:1 copies, nearest-pixel and area-average
// stretching, format conversion on the way and the ternary raster
// operations. This is the hot path of map rendering, so the common cases
// (same-format 1:1 copies, 2:1 area averages of 24- and 32-bit images, area
// averages that enlarge, the 24- and 32-bit image into the 15-bit view, the
// 15-bit view onto the 32-bit screen) have their own loops, and all work
// memory lives in the canvas's scratch.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "qebgeolib/platform/graphics/detail/int128.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"
#include "qebgeolib/platform/graphics/detail/stretch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__) && defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qeb::detail {

namespace {

using detail::Int128;

constexpr uint8_t CodeSrcCopy = 0xCC;

// Fixed-point precision of the area-average weights: vertical weights sum
// to 2^14, horizontal ones to 2^16 (applied to the vertical sums reduced to
// 8.8 bits), so every sum fits 32 bits and a 2:1 average is exact.
constexpr int VerticalBits = 14;
constexpr int HorizontalBits = 16;

uint32_t ValueMask(TPixelFormat F) {
  switch (F) {
  case pf4bit:
    return 0xF;
  case pf8bit:
    return 0xFF;
  case pf15bit:
    return 0x7FFF;
  default:
    return 0xFFFFFF;
  }
}

// A ternary raster operation with the pattern fixed: for each combination
// of source and destination bit, the mask of bits where the result is 1.
struct TRop3 {
  uint32_t M[4];
  uint32_t Mask;
  uint32_t Eval(uint32_t S, uint32_t D) const {
    return ((~S & ~D & M[0]) | (~S & D & M[1]) | (S & ~D & M[2]) | (S & D & M[3])) & Mask;
  }
};

// Bit k of a ROP code is the result for pattern bit k >> 2 & 1, source bit
// k >> 1 & 1 and destination bit k & 1.
TRop3 MakeRop3(uint8_t Code, uint32_t P, uint32_t Mask) {
  TRop3 R{};
  for (int i = 0; i < 4; ++i)
    R.M[i] = ((Code >> (4 + i) & 1) ? P : 0) | ((Code >> i & 1) ? ~P : 0);
  R.Mask = Mask;
  return R;
}

// One axis of a copy: destination pixels D0 .. D0+DLen-1 from source pixels
// S0 .. S0+SLen-1, Flip reversing the order.
struct TAxis {
  int64_t D0, DLen, S0, SLen;
  bool Flip;
  int64_t DstLimit, SrcLimit;
  int64_t V0, V1; // destination pixels inside the destination bitmap
};

// Nearest source pixel of destination pixels V0..V1-1 into Index; returns
// the range [First, Last) (offsets from V0) whose source pixel lies in the
// source bitmap. The mapping is monotone, so that range is contiguous.
void NearestTable(const TAxis& A, std::vector<int32_t>& Index, int64_t& First, int64_t& Last) {
  const int64_t N = A.V1 - A.V0;
  Index.resize(std::size_t(N));
  // Source offset of position p (0-based along the source direction):
  // floor((2p + 1) SLen / 2 DLen), stepped without division.
  const int64_t Den = 2 * A.DLen;
  const int64_t StepQ = (2 * A.SLen) / Den, StepR = (2 * A.SLen) % Den;
  const int64_t P0 = A.Flip ? A.DLen - 1 - (A.V1 - 1 - A.D0) : A.V0 - A.D0;
  const Int128 Num = (Int128(2) * P0 + 1) * A.SLen;
  int64_t Q = int64_t(Num / Den), R = int64_t(Num % Den);
  for (int64_t k = 0; k < N; ++k) {
    const int64_t S = A.S0 + Q;
    const int64_t Slot = A.Flip ? N - 1 - k : k;
    Index[std::size_t(Slot)] = (S >= 0 && S < A.SrcLimit) ? int32_t(S) : -1;
    Q += StepQ;
    R += StepR;
    if (R >= Den) {
      R -= Den;
      ++Q;
    }
  }
  First = 0;
  while (First < N && Index[std::size_t(First)] < 0)
    ++First;
  Last = N;
  while (Last > First && Index[std::size_t(Last - 1)] < 0)
    --Last;
}

// Area-average taps of destination pixels V0+First .. V0+Last-1: for each,
// the source pixels its footprint touches inside the source bitmap and their
// weights, summing to 2^Bits. Tap sources are absolute source coordinates.
void AreaTaps(const TAxis& A, int64_t First, int64_t Last, int Bits, std::vector<int32_t>& Start,
              std::vector<int32_t>& Src, std::vector<uint32_t>& Weight) {
  Start.clear();
  Src.clear();
  Weight.clear();
  const int64_t Total = int64_t(1) << Bits;
  for (int64_t k = First; k < Last; ++k) {
    Start.push_back(int32_t(Src.size()));
    const int64_t I = A.V0 + k - A.D0;
    const int64_t P = A.Flip ? A.DLen - 1 - I : I;
    // Footprint [FA, FB) in units of 1 / DLen of a source pixel.
    const Int128 FA = Int128(A.S0) * A.DLen + Int128(P) * A.SLen;
    const Int128 FB = FA + A.SLen;
    auto FloorDiv = [](Int128 X, int64_t D) {
      Int128 Q = X / D;
      if (X % D != 0 && X < 0) --Q;
      return Q;
    };
    const int64_t J0 = int64_t(std::max<Int128>(FloorDiv(FA, A.DLen), 0));
    const int64_t J1 = int64_t(std::min<Int128>(FloorDiv(FB - 1, A.DLen), A.SrcLimit - 1));
    const std::size_t Base = Src.size();
    int64_t Sum = 0;
    for (int64_t J = J0; J <= J1; ++J) {
      const Int128 PA = Int128(J) * A.DLen, PB = PA + A.DLen;
      const int64_t Overlap = int64_t(std::min(FB, PB) - std::max(FA, PA));
      if (Overlap <= 0) continue;
      Src.push_back(int32_t(J));
      Weight.push_back(uint32_t(Overlap)); // replaced by the scaled weight below
      Sum += Overlap;
    }
    // Scaled weights from rounded cumulative sums: they add up to Total
    // exactly and none is negative.
    int64_t Cum = 0, Prev = 0;
    for (std::size_t t = Base; t < Src.size(); ++t) {
      Cum += Weight[t];
      const int64_t Now = int64_t((Int128(Cum) * Total + Sum / 2) / Sum);
      Weight[t] = uint32_t(Now - Prev);
      Prev = Now;
    }
  }
  Start.push_back(int32_t(Src.size()));
}

// The working pixels of a whole palette, indexes beyond it black.
void PaletteTable(const TBitmap& B, uint32_t (&Table)[256]) {
  const auto& P = B.GetPalette();
  for (int i = 0; i < 256; ++i)
    Table[i] = std::size_t(i) < P.size() ? SwapRB(P[std::size_t(i)]) : 0;
}

template <int B> void GatherRaw(const uint8_t* S, const int32_t* Idx, int64_t N, uint8_t* D) {
  for (int64_t i = 0; i < N; ++i)
    std::memcpy(D + B * i, S + int64_t(B) * Idx[i], B);
}

// Working pixels of the source pixels Idx[0..N) of one row, the format
// chosen once per row.
void GatherXrgb(TPixelFormat F, const uint8_t* S, const int32_t* Idx, int64_t N, uint32_t* Out,
                const uint32_t* Pal) {
  switch (F) {
  case pf4bit:
    for (int64_t i = 0; i < N; ++i) {
      const int64_t X = Idx[i];
      Out[i] = Pal[(X & 1) ? (S[X >> 1] & 15) : (S[X >> 1] >> 4)];
    }
    break;
  case pf8bit:
    for (int64_t i = 0; i < N; ++i)
      Out[i] = Pal[S[Idx[i]]];
    break;
  case pf15bit:
    for (int64_t i = 0; i < N; ++i)
      Out[i] = X15ToXrgb(Load16(S + 2 * int64_t(Idx[i])));
    break;
  case pf24bit:
    for (int64_t i = 0; i < N; ++i)
      Out[i] = Load24(S + 3 * int64_t(Idx[i]));
    break;
  case pf32bit:
    for (int64_t i = 0; i < N; ++i)
      Out[i] = Load32(S + 4 * int64_t(Idx[i])) & 0xFFFFFF;
    break;
  }
}

// 24- or 32-bit source pixels (Bpp bytes) straight into a 15-bit row. The
// four-byte loads of 24-bit pixels read one byte beyond the last pixel,
// which the bitmap buffers always have; XrgbTo15 ignores it.
template <int Bpp> void Gather15(const uint8_t* S, const int32_t* Idx, int64_t N, uint8_t* D) {
  for (int64_t i = 0; i < N; ++i)
    Store16(D + 2 * i, XrgbTo15(Load32(S + Bpp * int64_t(Idx[i]))));
}

// N consecutive 24- or 32-bit pixels into 15-bit ones. The vector loads read
// up to four bytes beyond the last pixel (bitmap buffers always have them).
template <int Bpp> void Row15(const uint8_t* S, int64_t N, uint8_t* D) {
  int64_t i = 0;
#if defined(__SSE2__)
  const __m128i MR = _mm_set1_epi32(0x7C00), MG = _mm_set1_epi32(0x03E0);
  const __m128i MB = _mm_set1_epi32(0x001F);
  auto Four = [&](const uint8_t* P) { // four pixels in the 32-bit lanes
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
    __m128i X = V;
    if (Bpp == 3)
      X = _mm_unpacklo_epi64(_mm_unpacklo_epi32(V, _mm_srli_si128(V, 3)),
                             _mm_unpacklo_epi32(_mm_srli_si128(V, 6), _mm_srli_si128(V, 9)));
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(X, 9), MR),
                                     _mm_and_si128(_mm_srli_epi32(X, 6), MG)),
                        _mm_and_si128(_mm_srli_epi32(X, 3), MB));
  };
  for (; i + 8 <= N; i += 8) {
    const __m128i Lo = Four(S + Bpp * i), Hi = Four(S + Bpp * i + 4 * Bpp);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 2 * i), _mm_packs_epi32(Lo, Hi));
  }
#endif
  for (; i < N; ++i)
    Store16(D + 2 * i, XrgbTo15(Bpp == 3 ? Load24(S + 3 * i) : Load32(S + 4 * i)));
}

// N 16-bit destination pixels, each source pixel of B twice; Odd when the
// first one is the second of its pair.
void Double16(const uint8_t* B, int64_t N, bool Odd, uint8_t* D) {
  int64_t i = 0;
  if (Odd) {
    std::memcpy(D, B, 2);
    B += 2;
    i = 1;
  }
#if defined(__SSE2__)
  for (; i + 16 <= N; i += 16, B += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 2 * i), _mm_unpacklo_epi16(V, V));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 2 * i + 16), _mm_unpackhi_epi16(V, V));
  }
#endif
  for (; i + 2 <= N; i += 2, B += 2) {
    std::memcpy(D + 2 * i, B, 2);
    std::memcpy(D + 2 * i + 2, B, 2);
  }
  if (i < N) std::memcpy(D + 2 * i, B, 2);
}

// The 15-bit row of source pixels Idx[0..N). Enlarging, each source pixel
// of the span is converted once into Buffer and then gathered, or, at
// exactly twice the size (Double), doubled.
template <int Bpp>
void To15(const uint8_t* S, const int32_t* Idx, int64_t N, uint8_t* D, bool Double, bool Odd,
          std::vector<uint32_t>& Buffer) {
  const int64_t Lo = std::min(Idx[0], Idx[N - 1]), Span = std::max(Idx[0], Idx[N - 1]) - Lo + 1;
  if (Span >= N) {
    Gather15<Bpp>(S, Idx, N, D);
    return;
  }
  if (Buffer.size() < std::size_t(Span)) Buffer.resize(std::size_t(Span));
  auto* B = reinterpret_cast<uint8_t*>(Buffer.data());
  Row15<Bpp>(S + Bpp * Lo, Span, B);
  if (Double) {
    Double16(B, N, Odd, D);
    return;
  }
  for (int64_t i = 0; i < N; ++i)
    Store16(D + 2 * i, Load16(B + 2 * (Idx[i] - Lo)));
}

// 15-bit pixels into 32-bit ones, each channel v becoming v << 3 | v >> 2:
// consecutive pixels (the 1:1 copy of the view to the screen) and gathered.
void Row15To32(const uint8_t* S, int64_t N, uint8_t* D) {
  int64_t i = 0;
#if defined(__SSE2__)
  // v << 3 | v >> 2 is (33 v) >> 2; multiplications expand each field where
  // it lies: blue (moved to the top) and red by high halves, green by a low
  // half whose bits below the byte are dropped.
  const __m128i MG = _mm_set1_epi16(0x03E0), MR = _mm_set1_epi16(0x7C00);
  const __m128i MHi = _mm_set1_epi16(short(0xFF00));
  const __m128i KB = _mm_set1_epi16(264), KG = _mm_set1_epi16(66), KR = _mm_set1_epi16(528);
  for (; i + 8 <= N; i += 8) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + 2 * i));
    const __m128i B = _mm_mulhi_epu16(_mm_slli_epi16(V, 11), KB);
    const __m128i G = _mm_and_si128(_mm_mullo_epi16(_mm_and_si128(V, MG), KG), MHi);
    const __m128i R = _mm_mulhi_epu16(_mm_and_si128(V, MR), KR);
    const __m128i BG = _mm_or_si128(B, G);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 4 * i), _mm_unpacklo_epi16(BG, R));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 4 * i + 16), _mm_unpackhi_epi16(BG, R));
  }
#endif
  for (; i < N; ++i)
    Store32(D + 4 * i, X15ToXrgb(Load16(S + 2 * i)));
}

// Two source rows of 24- or 32-bit pixels to Count working pixels, each the
// rounded mean of a 2x2 block: (a + b + c + d + 2) >> 2, the same result as
// the general weights give.
void Halve2x2(const uint8_t* A, const uint8_t* B, int Bpp, int64_t Count, uint32_t* Out) {
  int64_t c = 0;
#if defined(__SSE2__)
  const __m128i Zero = _mm_setzero_si128(), Two = _mm_set1_epi16(2);
  const __m128i Mask = _mm_set1_epi32(0x00FFFFFF);
  if (Bpp == 4) {
    for (; c + 2 <= Count; c += 2) {
      const __m128i VA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + 8 * c));
      const __m128i VB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + 8 * c));
      const __m128i S = _mm_add_epi16(_mm_unpacklo_epi8(VA, Zero), _mm_unpacklo_epi8(VB, Zero));
      const __m128i H = _mm_add_epi16(_mm_unpackhi_epi8(VA, Zero), _mm_unpackhi_epi8(VB, Zero));
      __m128i T = _mm_add_epi16(_mm_unpacklo_epi64(S, H), _mm_unpackhi_epi64(S, H));
      T = _mm_srli_epi16(_mm_add_epi16(T, Two), 2);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(Out + c),
                       _mm_and_si128(_mm_packus_epi16(T, T), Mask));
    }
  } else {
    // 12 bytes (four pixels) of each row per step; the loads read 4 bytes
    // more, which the bitmap buffers always have.
    for (; c + 2 <= Count; c += 2) {
      const __m128i VA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + 6 * c));
      const __m128i VB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + 6 * c));
      const __m128i S = _mm_add_epi16(_mm_unpacklo_epi8(VA, Zero), _mm_unpacklo_epi8(VB, Zero));
      const __m128i H = _mm_add_epi16(_mm_unpackhi_epi8(VA, Zero), _mm_unpackhi_epi8(VB, Zero));
      const __m128i P0 = _mm_add_epi16(S, _mm_srli_si128(S, 6));
      const __m128i Q = _mm_or_si128(_mm_srli_si128(S, 12), _mm_slli_si128(H, 4));
      const __m128i P1 = _mm_add_epi16(Q, _mm_srli_si128(Q, 6));
      __m128i T = _mm_unpacklo_epi64(P0, P1);
      T = _mm_srli_epi16(_mm_add_epi16(T, Two), 2);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(Out + c),
                       _mm_and_si128(_mm_packus_epi16(T, T), Mask));
    }
  }
#endif
  for (; c < Count; ++c) {
    const uint8_t* PA = A + 2 * Bpp * c;
    const uint8_t* PB = B + 2 * Bpp * c;
    uint32_t V = 0;
    for (int k = 0; k < 3; ++k)
      V |= uint32_t((PA[k] + PA[Bpp + k] + PB[k] + PB[Bpp + k] + 2) >> 2) << (8 * k);
    Out[c] = V;
  }
}

// Sums[i] = (First ? 0 : Sums[i]) + W0 * A[i] + W1 * B[i] for i < N: two
// source rows of the vertical pass at once, pairs of 16-bit products summed
// into 32 bits (pmaddwd). Weights are at most 2^14, so they fit the signed
// 16-bit lanes.
void AccumulateRows(uint32_t* Sums, const uint8_t* A, uint32_t W0, const uint8_t* B, uint32_t W1,
                    std::size_t N, bool First) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i W = _mm_set1_epi32(int(W0 | W1 << 16));
  const __m128i Zero = _mm_setzero_si128();
  for (; i + 8 <= N; i += 8) {
    const __m128i VA =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(A + i)), Zero);
    const __m128i VB =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(B + i)), Zero);
    __m128i Lo = _mm_madd_epi16(_mm_unpacklo_epi16(VA, VB), W);
    __m128i Hi = _mm_madd_epi16(_mm_unpackhi_epi16(VA, VB), W);
    auto* S = reinterpret_cast<__m128i*>(Sums + i);
    if (!First) {
      Lo = _mm_add_epi32(Lo, _mm_loadu_si128(S));
      Hi = _mm_add_epi32(Hi, _mm_loadu_si128(S + 1));
    }
    _mm_storeu_si128(S, Lo);
    _mm_storeu_si128(S + 1, Hi);
  }
#endif
  for (; i < N; ++i)
    Sums[i] = (First ? 0 : Sums[i]) + W0 * A[i] + W1 * B[i];
}

// Enlarging, a destination pixel overlaps at most two source pixels on each
// axis, so the area average reduces to blends of pairs, computed as the
// general filter does. The vertical blend v = (W0 a + W1 b) >> 6, W0 + W1 =
// 2^14, is a 16-bit value (8.8 bits) per source byte; the horizontal one is
// (2^23 + W0 v0 + W1 v1) >> 24 with W0 + W1 = 2^16. A single tap is a pair
// with W0 = 0, so W0 always fits 16 bits. The blended rows hold each v as
// v + 128 - 2^15, a signed 16-bit value: the rounding term is built in and
// signed comparisons order the values.
constexpr int BlendBias = 128 - 32768;

// Out[i] = ((W0 A[i] + W1 B[i]) >> 6) + BlendBias as 16-bit values, i < Len.
// With the bytes as 8.8 values a' = a << 8, that is b' + floor(4 W0 (a' -
// b') / 2^16), computed as the horizontal blend does (see PairSums).
void BlendRows(const uint8_t* A, const uint8_t* B, uint32_t W0, uint32_t W1, std::size_t Len,
               uint8_t* Out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  // Biased 8.8 values: a << 8 | 128 with the top bit flipped.
  const __m128i Flip = _mm_set1_epi8(char(0x80));
  auto Load = [&](const uint8_t* P) {
    return _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)), Flip);
  };
  if (A == B) { // one source row
    for (; i + 16 <= Len; i += 16) {
      const __m128i VA = Load(A + i);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 2 * i), _mm_unpacklo_epi8(Flip, VA));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 2 * i + 16), _mm_unpackhi_epi8(Flip, VA));
    }
  }
  // A single source row has been handled, so W0 < 2^14 and 4 W0 fits.
  const __m128i W = _mm_set1_epi16(short(uint16_t(4 * W0 & 0xFFFF)));
  auto Blend = [&](__m128i XA, __m128i XB) {
    const __m128i Neg = _mm_and_si128(_mm_cmpgt_epi16(XB, XA), W);
    return _mm_sub_epi16(_mm_add_epi16(XB, _mm_mulhi_epu16(_mm_sub_epi16(XA, XB), W)), Neg);
  };
  for (; i + 16 <= Len; i += 16) {
    const __m128i VA = Load(A + i), VB = Load(B + i);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 2 * i),
                     Blend(_mm_unpacklo_epi8(Flip, VA), _mm_unpacklo_epi8(Flip, VB)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 2 * i + 16),
                     Blend(_mm_unpackhi_epi8(Flip, VA), _mm_unpackhi_epi8(Flip, VB)));
  }
#endif
  if (A == B)
    for (; i < Len; ++i)
      Store16(Out + 2 * i, uint16_t((A[i] ^ 0x80) << 8 | 0x80));
  for (; i < Len; ++i)
    Store16(Out + 2 * i, uint16_t(((W0 * A[i] + W1 * B[i]) >> 6) + BlendBias));
}

// The horizontal plan of two destination pixels a and b: byte offsets into
// the blended row of each pixel's taps v0 and v1, and W0 per 16-bit lane
// (blue, green, red, unused for a, then for b; 0 in the unused lanes).
struct TPairPlan {
  int32_t Off0[2], Off1[2];
  uint16_t W0[8];
};
constexpr std::size_t PairInts = sizeof(TPairPlan) / sizeof(int32_t);
static_assert(sizeof(TPairPlan) % sizeof(int32_t) == 0);

#if defined(__SSE2__)
// The four channels of pixels a and b in 16-bit lanes for each of Rows
// blended rows: ((2^23 + W0 v0 + W1 v1) >> 16) - 2^15, the result times 2^8
// plus a remainder, biased. As W1 = 2^16 - W0, the unbiased value is v1 +
// 128 + floor(W0 d / 2^16) with d = v0 - v1. The lanes hold u = d mod 2^16,
// and W0 d = W0 u - 2^16 W0 where d < 0, so the floor is the high half of
// W0 u, less W0 there: one multiplication, and the low half cannot carry.
// Rows sharing the plan load it once.
template <int Rows> inline void PairSums(const uint8_t* const* V, const int32_t* Plan, __m128i* T) {
  const int32_t O0 = Plan[0], O1 = Plan[1], O2 = Plan[2], O3 = Plan[3];
  const __m128i W0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Plan + 4));
  for (int r = 0; r < Rows; ++r) {
    auto Load = [&](int32_t O) {
      return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(V[r] + O));
    };
    const __m128i X0 = _mm_unpacklo_epi64(Load(O0), Load(O1));
    const __m128i X1 = _mm_unpacklo_epi64(Load(O2), Load(O3));
    const __m128i Neg = _mm_and_si128(_mm_cmpgt_epi16(X1, X0), W0);
    const __m128i H = _mm_mulhi_epu16(_mm_sub_epi16(X0, X1), W0);
    T[r] = _mm_sub_epi16(_mm_add_epi16(X1, H), Neg);
  }
}
#else
// Working pixel h (0 or 1) of a pair. With the bias removed, the values
// carry the 128 of the rounding term: 2^16 * 128 = 2^23.
inline uint32_t PlanPixel(const uint8_t* V, const int32_t* Plan, int h) {
  uint16_t W;
  std::memcpy(&W, reinterpret_cast<const uint8_t*>(Plan + 4) + 8 * h, 2);
  const uint8_t *A = V + Plan[h], *B = V + Plan[2 + h];
  uint32_t P = 0;
  if (W == 0) { // a single tap
    for (int k = 0; k < 3; ++k)
      P |= (Load16(B + 2 * k) ^ 0x8000u) >> 8 << (8 * k);
    return P;
  }
  const uint32_t W0 = W, W1 = (1u << HorizontalBits) - W0;
  for (int k = 0; k < 3; ++k) {
    const uint32_t V0 = Load16(A + 2 * k) ^ 0x8000u, V1 = Load16(B + 2 * k) ^ 0x8000u;
    P |= (W0 * V0 + W1 * V1) >> 24 << (8 * k);
  }
  return P;
}
#endif

// Count pixels of Rows destination rows from their blended rows V[r]:
// working pixels into Out[r], or, To15, 15-bit pixels, whose channels are
// the sums >> 11. Plan holds (Count + 7) / 8 * 4 pair plans.
template <int Rows, bool To15>
void ExpandRows(const uint8_t* const* V, const int32_t* Plan, int64_t Count, uint8_t* const* Out) {
#if defined(__SSE2__)
  // The biased sums shifted arithmetically give each channel less 16 (5
  // bits) or 128 (8 bits), put back after packing; the unused lanes are
  // dropped by a zero factor or a mask.
  const __m128i K = _mm_set_epi16(0, 1024, 32, 1, 0, 1024, 32, 1);
  const __m128i One = _mm_set1_epi16(1);
  const __m128i Unbias15 = _mm_set1_epi16(16 * (1 + 32 + 1024));
  const __m128i Unbias8 = _mm_set1_epi8(char(0x80));
  const __m128i Rgb = _mm_set1_epi32(0xFFFFFF);
  const int Bytes = To15 ? 2 : 4;
  for (int64_t c = 0; c < Count; c += 8, Plan += 4 * PairInts) {
    // Q[q][r]: pixels 4q .. 4q + 3 of row r, as 32-bit lanes (To15, still
    // biased).
    __m128i Q[2][Rows];
    for (int q = 0; q < 2; ++q) {
      __m128i A[2][Rows];
      for (int p = 0; p < 2; ++p) {
        __m128i T[Rows];
        PairSums<Rows>(V, Plan + (2 * q + p) * PairInts, T);
        for (int r = 0; r < Rows; ++r)
          A[p][r] = To15 ? _mm_madd_epi16(_mm_srai_epi16(T[r], 11), K) : _mm_srai_epi16(T[r], 8);
      }
      for (int r = 0; r < Rows; ++r)
        Q[q][r] =
            To15 ? _mm_madd_epi16(_mm_packs_epi32(A[0][r], A[1][r]), One)
                 : _mm_and_si128(_mm_xor_si128(_mm_packs_epi16(A[0][r], A[1][r]), Unbias8), Rgb);
    }
    const int64_t Left = std::min<int64_t>(8, Count - c) * Bytes;
    for (int r = 0; r < Rows; ++r) {
      uint8_t* D = Out[r] + Bytes * c;
      if (To15) {
        const __m128i P = _mm_add_epi16(_mm_packs_epi32(Q[0][r], Q[1][r]), Unbias15);
        if (Left == 16) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(D), P);
        } else {
          uint8_t Tail[16];
          _mm_storeu_si128(reinterpret_cast<__m128i*>(Tail), P);
          std::memcpy(D, Tail, std::size_t(Left));
        }
      } else if (Left == 32) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D), Q[0][r]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 16), Q[1][r]);
      } else {
        uint8_t Tail[32];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Tail), Q[0][r]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Tail + 16), Q[1][r]);
        std::memcpy(D, Tail, std::size_t(Left));
      }
    }
  }
#else
  for (int r = 0; r < Rows; ++r) {
    const int32_t* P = Plan;
    for (int64_t c = 0; c < Count; c += 2, P += PairInts)
      for (int h = 0; h < 2 && c + h < Count; ++h) {
        const uint32_t X = PlanPixel(V[r], P, h);
        if (To15)
          Store16(Out[r] + 2 * (c + h), XrgbTo15(X));
        else
          Store32(Out[r] + 4 * (c + h), X);
      }
  }
#endif
}

// Shrinking, the area average of a destination row is a vertical pass over
// its source rows, giving every source byte as an 8.8 value v = (sum of W
// b) >> 6, and a horizontal pass, (2^23 + sum of W v) >> 24. Both are exact
// integer sums, so any grouping of their terms gives the same pixels; the
// loops group them for pmaddwd, which multiplies signed 16-bit values. The
// levels are kept as v + BlendBias, as the blended rows of enlarging hold
// them, which the weights, adding up to 2^16, turn into the rounding term
// less 2^31; the taps of a pixel are regrouped into windows of two
// neighbouring source pixels with weights below 2^15, a larger tap weight
// spreading over two windows.
constexpr uint32_t MaxWindowWeight = (1u << 15) - 1;
// The k-th windows of two neighbouring pixels a and b in the horizontal
// plan: the weights of a four times, for the four lanes of pmaddwd, those
// of b, the first source pixels of a and b, and padding to 64 bytes.
constexpr int WindowInts = 16;

// The windows of the taps Src[0..n) (consecutive source pixels) with
// weights W: source pixel s of each window, taking Wa of s and Wb of s + 1,
// into Out as (s, Wa | Wb << 16) unless Out is null; returns their number.
int TapWindows(const int32_t* Src, const uint32_t* W, int n, int32_t* Out) {
  int Count = 0, u = 0;
  uint32_t Rest = n > 0 ? W[0] : 0;
  auto Take = [&] {
    const uint32_t Part = std::min(Rest, MaxWindowWeight);
    Rest -= Part;
    if (Rest == 0 && ++u < n) Rest = W[u];
    return Part;
  };
  while (u < n) {
    const int32_t S = Src[u];
    const uint32_t Wa = Take();
    const uint32_t Wb = u < n && Src[u] == S + 1 ? Take() : 0;
    if (Out) {
      Out[2 * Count] = S;
      Out[2 * Count + 1] = int32_t(Wa | Wb << 16);
    }
    ++Count;
  }
  return Count;
}

// Levels[i] = ((sum of W[t] Rows[t][i]) >> 6) - 2^15 for i < Len. Fixed
// is the number of taps when it is known here (a zoom's ratios have up to
// four), so that the rows and weights stay in registers.
template <int Fixed>
void VerticalLevels(const uint8_t* const* Rows, const uint32_t* W, int Taps, std::size_t Len,
                    int16_t* Levels) {
  if (Fixed) Taps = Fixed;
  std::size_t i = 0;
#if defined(__SSE2__)
  if (Len >= 16) {
    const __m128i Zero = _mm_setzero_si128();
    // The bias in the starting value: the arithmetic shift of sum + 2^6
    // BlendBias is v + BlendBias.
    const __m128i Start = _mm_set1_epi32(BlendBias * 64);
    auto Chunk = [&](std::size_t At) {
      __m128i A[4] = {Start, Start, Start, Start};
      for (int t = 0; t < Taps; t += 2) {
        const bool Pair = t + 1 < Taps;
        const __m128i X = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[t] + At));
        const __m128i Y =
            Pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[t + 1] + At)) : Zero;
        const __m128i Wt = _mm_set1_epi32(int(W[t] | (Pair ? W[t + 1] : 0) << 16));
        const __m128i Lo = _mm_unpacklo_epi8(X, Y), Hi = _mm_unpackhi_epi8(X, Y);
        A[0] = _mm_add_epi32(A[0], _mm_madd_epi16(_mm_unpacklo_epi8(Lo, Zero), Wt));
        A[1] = _mm_add_epi32(A[1], _mm_madd_epi16(_mm_unpackhi_epi8(Lo, Zero), Wt));
        A[2] = _mm_add_epi32(A[2], _mm_madd_epi16(_mm_unpacklo_epi8(Hi, Zero), Wt));
        A[3] = _mm_add_epi32(A[3], _mm_madd_epi16(_mm_unpackhi_epi8(Hi, Zero), Wt));
      }
      auto* D = reinterpret_cast<__m128i*>(Levels + At);
      _mm_storeu_si128(D, _mm_packs_epi32(_mm_srai_epi32(A[0], 6), _mm_srai_epi32(A[1], 6)));
      _mm_storeu_si128(D + 1, _mm_packs_epi32(_mm_srai_epi32(A[2], 6), _mm_srai_epi32(A[3], 6)));
    };
    for (; i + 16 <= Len; i += 16)
      Chunk(i);
    // The last bytes again with the chunk ending there: the rows have no
    // 16 bytes to spare.
    if (i < Len) Chunk(Len - 16);
    return;
  }
#endif
  for (; i < Len; ++i) {
    uint32_t S = 0;
    for (int t = 0; t < Taps; ++t)
      S += W[t] * Rows[t][i];
    Levels[i] = int16_t(int32_t(S >> 6) + BlendBias);
  }
}

#if defined(__x86_64__) && defined(__GNUC__) && defined(__SSE2__)
// The vertical pass of VerticalLevels 32 bytes at a time, where the
// processor has AVX2. The lanes of the 256-bit operations work as two
// 128-bit halves, so the packed halves are put back in order before they
// are stored; the last chunk ends at the row's end.
template <int Fixed>
__attribute__((target("avx2"))) void VerticalLevelsAvx2(const uint8_t* const* Rows,
                                                        const uint32_t* W, int Taps,
                                                        std::size_t Len, int16_t* Levels) {
  if (Len < 32) {
    VerticalLevels<Fixed>(Rows, W, Taps, Len, Levels);
    return;
  }
  if (Fixed) Taps = Fixed;
  const __m256i Zero = _mm256_setzero_si256(), Start = _mm256_set1_epi32(BlendBias * 64);
  for (std::size_t i = 0; i < Len; i += 32) {
    const std::size_t At = std::min(i, Len - 32);
    __m256i A0 = Start, A1 = Start, A2 = Start, A3 = Start;
    for (int t = 0; t < Taps; t += 2) {
      const bool Pair = t + 1 < Taps;
      const __m256i X = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Rows[t] + At));
      const __m256i Y =
          Pair ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Rows[t + 1] + At)) : Zero;
      const __m256i Wt = _mm256_set1_epi32(int(W[t] | (Pair ? W[t + 1] : 0) << 16));
      const __m256i Lo = _mm256_unpacklo_epi8(X, Y), Hi = _mm256_unpackhi_epi8(X, Y);
      A0 = _mm256_add_epi32(A0, _mm256_madd_epi16(_mm256_unpacklo_epi8(Lo, Zero), Wt));
      A1 = _mm256_add_epi32(A1, _mm256_madd_epi16(_mm256_unpackhi_epi8(Lo, Zero), Wt));
      A2 = _mm256_add_epi32(A2, _mm256_madd_epi16(_mm256_unpacklo_epi8(Hi, Zero), Wt));
      A3 = _mm256_add_epi32(A3, _mm256_madd_epi16(_mm256_unpackhi_epi8(Hi, Zero), Wt));
    }
    const __m256i P01 = _mm256_packs_epi32(_mm256_srai_epi32(A0, 6), _mm256_srai_epi32(A1, 6));
    const __m256i P23 = _mm256_packs_epi32(_mm256_srai_epi32(A2, 6), _mm256_srai_epi32(A3, 6));
    auto* D = reinterpret_cast<__m256i*>(Levels + At);
    _mm256_storeu_si256(D, _mm256_permute2x128_si256(P01, P23, 0x20));
    _mm256_storeu_si256(D + 1, _mm256_permute2x128_si256(P01, P23, 0x31));
  }
}

// The AVX2 kernels where the processor has them. QEB_STRETCH_NO_AVX2 in the
// environment keeps to the SSE2 kernels, so that the tests cover those too on
// machines with AVX2.
bool HasAvx2() {
  static const bool Has =
      __builtin_cpu_supports("avx2") && std::getenv("QEB_STRETCH_NO_AVX2") == nullptr;
  return Has;
}
#endif

#if defined(__SSE2__)
// Four working pixels, or To24 24-bit ones, into Out from pixel c on, fewer
// at the end of the row's Count.
template <bool To24> inline void StoreFour(__m128i Px, uint8_t* Out, int64_t c, int64_t Count) {
  if (!To24 && c + 4 <= Count) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 4 * c), Px);
    return;
  }
  uint32_t Four[4];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(Four), Px);
  if (!To24) {
    std::memcpy(Out + 4 * c, Four, std::size_t(Count - c) * 4);
    return;
  }
  // Four bytes a pixel, the fourth overwritten by the next pixel.
  for (int64_t q = 0; q < 4 && c + q < Count; ++q) {
    if (c + q + 1 < Count)
      Store32(Out + 3 * (c + q), Four[q]);
    else
      Store24(Out + 3 * (c + q), Four[q]);
  }
}

// The levels of source pixels s and s + 1 of a window at V, each channel of
// s next to the same channel of s + 1.
template <int Bpp> inline __m128i WindowLevels(const uint8_t* V) {
  const __m128i X = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V));
  return _mm_unpacklo_epi16(X, _mm_srli_si128(X, 2 * Bpp));
}
#endif

// Count working pixels from the levels of source pixels of Bpp bytes, into
// Out as working pixels or, To24, as 24-bit ones. Plan holds K windows for
// each pair of pixels, K fixed here when it is not 0, for Count rounded up
// to four pixels. The loads read up to 16 bytes from each pixel of a
// window, which the levels' margin has.
template <int Bpp, int Fixed, bool To24>
void HorizontalPixels(const int16_t* Levels, const int32_t* Plan, int K, int64_t Count,
                      uint8_t* Out) {
  if (Fixed) K = Fixed;
  const auto* L = reinterpret_cast<const uint8_t*>(Levels);
#if defined(__SSE2__)
  const __m128i Unbias = _mm_set1_epi8(char(0x80)), Rgb = _mm_set1_epi32(0xFFFFFF);
  for (int64_t c = 0; c < Count; c += 4) {
    __m128i P[4];
    for (int h = 0; h < 4; h += 2, Plan += WindowInts * K) {
      // The sums wanted less 2^31: shifted arithmetically, the channels
      // less 128.
      __m128i A = _mm_setzero_si128(), B = _mm_setzero_si128();
      for (int k = 0; k < K; ++k) {
        const int32_t* Wk = Plan + WindowInts * k;
        const auto* Wv = reinterpret_cast<const __m128i*>(Wk);
        A = _mm_add_epi32(A, _mm_madd_epi16(WindowLevels<Bpp>(L + int64_t(Wk[8]) * (2 * Bpp)),
                                            _mm_load_si128(Wv)));
        B = _mm_add_epi32(B, _mm_madd_epi16(WindowLevels<Bpp>(L + int64_t(Wk[9]) * (2 * Bpp)),
                                            _mm_load_si128(Wv + 1)));
      }
      P[h] = _mm_srai_epi32(A, 24);
      P[h + 1] = _mm_srai_epi32(B, 24);
    }
    const __m128i R = _mm_packs_epi16(_mm_packs_epi32(P[0], P[1]), _mm_packs_epi32(P[2], P[3]));
    StoreFour<To24>(_mm_and_si128(_mm_xor_si128(R, Unbias), Rgb), Out, c, Count);
  }
#else
  for (int64_t c = 0; c < Count; ++c) {
    const int32_t* Pair = Plan + (c / 2) * WindowInts * K;
    const int h = int(c % 2);
    uint32_t A[3] = {1u << 23, 1u << 23, 1u << 23};
    for (int k = 0; k < K; ++k) {
      const int32_t* Wk = Pair + WindowInts * k;
      const auto Wa = uint32_t(Wk[4 * h]) & 0xFFFF, Wb = uint32_t(Wk[4 * h]) >> 16;
      for (int ch = 0; ch < 3; ++ch) {
        const uint8_t* V = L + int64_t(Wk[8 + h]) * (2 * Bpp) + 2 * ch;
        A[ch] += Wa * uint32_t(int16_t(Load16(V)) - BlendBias) +
                 Wb * uint32_t(int16_t(Load16(V + 2 * Bpp)) - BlendBias);
      }
    }
    const uint32_t X = (A[0] >> 24) | (A[1] >> 24) << 8 | (A[2] >> 24) << 16;
    if (To24)
      Store24(Out + 3 * c, X);
    else
      Store32(Out + 4 * c, X);
  }
#endif
}

#if defined(__x86_64__) && defined(__GNUC__) && defined(__SSE2__)
// HorizontalPixels with AVX2: the two pixels of a window pair in the two
// halves of the 256-bit registers.
template <int Bpp, int Fixed, bool To24>
__attribute__((target("avx2"))) void HorizontalPixelsAvx2(const int16_t* Levels,
                                                          const int32_t* Plan, int K, int64_t Count,
                                                          uint8_t* Out) {
  if (Fixed) K = Fixed;
  const auto* L = reinterpret_cast<const uint8_t*>(Levels);
  const __m128i Unbias = _mm_set1_epi8(char(0x80)), Rgb = _mm_set1_epi32(0xFFFFFF);
  for (int64_t c = 0; c < Count; c += 4) {
    __m256i P[2];
    for (int h = 0; h < 2; ++h, Plan += WindowInts * K) {
      __m256i A = _mm256_setzero_si256();
      for (int k = 0; k < K; ++k) {
        const int32_t* Wk = Plan + WindowInts * k;
        const uint8_t* Va = L + int64_t(Wk[8]) * (2 * Bpp);
        const uint8_t* Vb = L + int64_t(Wk[9]) * (2 * Bpp);
        const __m256i X = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Va))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(Vb)), 1);
        A = _mm256_add_epi32(
            A, _mm256_madd_epi16(_mm256_unpacklo_epi16(X, _mm256_srli_si256(X, 2 * Bpp)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Wk))));
      }
      P[h] = _mm256_srai_epi32(A, 24);
    }
    // Packed in halves: pixels 0 and 2 in the low half, 1 and 3 in the high.
    const __m256i R16 = _mm256_packs_epi32(P[0], P[1]);
    const __m256i R8 = _mm256_packs_epi16(R16, R16);
    const __m128i R =
        _mm_unpacklo_epi32(_mm256_castsi256_si128(R8), _mm256_extracti128_si256(R8, 1));
    StoreFour<To24>(_mm_and_si128(_mm_xor_si128(R, Unbias), Rgb), Out, c, Count);
  }
}
#endif

class TCopier {
public:
  TCopier(TBitmap& Dst, const TBitmap& Src, TStretchScratch& S, uint8_t Code, TColor Pattern)
      : FDst(Dst), FSrc(Src), FS(S), FCode(Code) {
    FRop = MakeRop3(Code, Dst.ColorToPixel(Pattern), ValueMask(Dst.GetPixelFormat()));
    PaletteTable(Src, FSrcPal);
    PaletteTable(Dst, FDstPal);
  }

  // Stores Count working pixels at (X0, Y) with the raster operation.
  void Emit(int64_t Y, int64_t X0, int64_t Count, const uint32_t* In) {
    if (FCode == CodeSrcCopy) {
      if (FDst.GetPixelFormat() == pf32bit) {
        uint8_t* D = FDst.GetBits() + Y * FDst.GetScanLineSize() + 4 * X0;
        if (reinterpret_cast<const uint8_t*>(In) != D) std::memcpy(D, In, std::size_t(4 * Count));
      } else if (FDst.GetPixelFormat() == pf24bit) {
        // Four bytes a pixel, the fourth overwritten by the next pixel.
        uint8_t* D = FDst.GetBits() + Y * FDst.GetScanLineSize() + 3 * X0;
        for (int64_t i = 0; i + 1 < Count; ++i)
          Store32(D + 3 * i, In[i]);
        Store24(D + 3 * (Count - 1), In[Count - 1]);
      } else {
        EncodeRow(FDst, int32_t(Y), int32_t(X0), int32_t(Count), In, Matcher());
      }
      return;
    }
    for (int64_t i = 0; i < Count; ++i) {
      const int32_t X = int32_t(X0 + i);
      const uint32_t S = ToValue(In[i]);
      const uint32_t D = GetPixelValue(FDst, X, int32_t(Y));
      SetPixelValue(FDst, X, int32_t(Y), FRop.Eval(S, D));
    }
  }

  // A destination rectangle where the operation ignores the source.
  void NoSource(int64_t X0, int64_t X1, int64_t Y0, int64_t Y1) {
    for (int64_t Y = Y0; Y < Y1; ++Y)
      for (int64_t X = X0; X < X1; ++X)
        SetPixelValue(FDst, int32_t(X), int32_t(Y),
                      FRop.Eval(0, GetPixelValue(FDst, int32_t(X), int32_t(Y))));
  }

  void Nearest(const TAxis& AX, const TAxis& AY);
  void Area(const TAxis& AX, const TAxis& AY);

private:
  // The area average when neither axis shrinks, after Area found the taps.
  void Enlarge(const TAxis& AY, int64_t RF, int64_t RL, int64_t X0, int64_t N, int32_t SXMin,
               int64_t Cols, bool ByteSource, int Bpp, bool DirectOut);
  uint32_t ToValue(uint32_t Xrgb) {
    switch (FDst.GetPixelFormat()) {
    case pf4bit:
    case pf8bit:
      return Matcher()->Match(Xrgb);
    case pf15bit:
      return XrgbTo15(Xrgb);
    default:
      return Xrgb & 0xFFFFFF;
    }
  }
  TPaletteMatcher* Matcher() {
    if (!FMatcher && (FDst.GetPixelFormat() == pf4bit || FDst.GetPixelFormat() == pf8bit))
      FMatcher = std::make_unique<TPaletteMatcher>(FDst.GetPalette());
    return FMatcher.get();
  }
  const uint8_t* SrcRow(int64_t Y) const { return FSrc.GetBits() + Y * FSrc.GetScanLineSize(); }
  uint8_t* DstRow(int64_t Y) { return FDst.GetBits() + Y * FDst.GetScanLineSize(); }
  // Stored values can be moved unchanged: same format and, for palette
  // formats, the same palette.
  bool RawCompatible() const {
    return FSrc.GetPixelFormat() == FDst.GetPixelFormat() && FSrc.GetPalette() == FDst.GetPalette();
  }

  TBitmap& FDst;
  const TBitmap& FSrc;
  TStretchScratch& FS;
  uint8_t FCode;
  TRop3 FRop{};
  uint32_t FSrcPal[256];
  uint32_t FDstPal[256];
  std::unique_ptr<TPaletteMatcher> FMatcher;
};

void TCopier::Nearest(const TAxis& AX, const TAxis& AY) {
  int64_t CF, CL, RF, RL;
  NearestTable(AX, FS.ColIndex, CF, CL);
  NearestTable(AY, FS.RowIndex, RF, RL);
  if (CF >= CL || RF >= RL) return;
  const int64_t X0 = AX.V0 + CF, N = CL - CF;
  const int32_t* Idx = FS.ColIndex.data() + CF;
  const TPixelFormat F = FDst.GetPixelFormat(), SF = FSrc.GetPixelFormat();
  const bool Copy = FCode == CodeSrcCopy;
  const bool Raw = Copy && RawCompatible();
  const bool Identity = Idx[N - 1] - Idx[0] == N - 1; // consecutive source columns
  const int Bytes = BitsPerPixel(F) / 8;
  // Twice the size across: destination pixel p (from D0) takes source
  // pixel S0 + p / 2.
  const bool Double = !AX.Flip && AX.DLen == 2 * AX.SLen;
  const bool Odd = ((X0 - AX.D0) & 1) != 0;
  FS.Work.resize(std::size_t(N));
  int64_t PrevSrc = -1, PrevY = -1;
  for (int64_t k = RF; k < RL; ++k) {
    const int64_t Y = AY.V0 + k;
    const int64_t SY = FS.RowIndex[std::size_t(k)];
    const uint8_t* S = SrcRow(SY);
    uint8_t* D = DstRow(Y) + X0 * Bytes; // not used for pf4bit
    if (Copy && F != pf4bit && SY == PrevSrc) {
      // Enlarging: the row repeats the one above.
      std::memcpy(D, DstRow(PrevY) + X0 * Bytes, std::size_t(N * Bytes));
    } else if (Raw && F != pf4bit) {
      if (Identity)
        std::memcpy(D, S + int64_t(Idx[0]) * Bytes, std::size_t(N * Bytes));
      else if (Bytes == 1)
        GatherRaw<1>(S, Idx, N, D);
      else if (Bytes == 2)
        GatherRaw<2>(S, Idx, N, D);
      else if (Bytes == 3)
        GatherRaw<3>(S, Idx, N, D);
      else
        GatherRaw<4>(S, Idx, N, D);
    } else if (Copy && F == pf15bit && SF == pf24bit) {
      To15<3>(S, Idx, N, D, Double, Odd, FS.Decoded);
    } else if (Copy && F == pf15bit && SF == pf32bit) {
      To15<4>(S, Idx, N, D, Double, Odd, FS.Decoded);
    } else if (Copy && F == pf32bit && SF == pf15bit && Identity) {
      Row15To32(S + 2 * int64_t(Idx[0]), N, D);
    } else {
      // Into a 32-bit destination the working pixels are the stored ones.
      uint32_t* W = Copy && F == pf32bit ? reinterpret_cast<uint32_t*>(D) : FS.Work.data();
      GatherXrgb(SF, S, Idx, N, W, FSrcPal);
      Emit(Y, X0, N, W);
    }
    PrevSrc = SY;
    PrevY = Y;
  }
}

void TCopier::Area(const TAxis& AX, const TAxis& AY) {
  int64_t CF, CL, RF, RL;
  NearestTable(AX, FS.ColIndex, CF, CL);
  NearestTable(AY, FS.RowIndex, RF, RL);
  if (CF >= CL || RF >= RL) return;
  const int64_t X0 = AX.V0 + CF, N = CL - CF;
  const TPixelFormat SF = FSrc.GetPixelFormat();
  const bool ByteSource = SF == pf24bit || SF == pf32bit;
  const int Bpp = SF == pf24bit ? 3 : 4; // bytes of a source pixel as the sums see it
  const bool DirectOut = FCode == CodeSrcCopy && FDst.GetPixelFormat() == pf32bit;
  FS.Work.resize(std::size_t(N));

  // 2:1 in both directions with every 2x2 block inside the source.
  const int64_t SX0 = AX.S0 + 2 * (AX.V0 + CF - AX.D0);
  if (ByteSource && !AX.Flip && !AY.Flip && AX.SLen == 2 * AX.DLen && AY.SLen == 2 * AY.DLen &&
      SX0 >= 0 && SX0 + 2 * N <= AX.SrcLimit) {
    const int64_t SYFirst = AY.S0 + 2 * (AY.V0 + RF - AY.D0);
    if (SYFirst >= 0 && SYFirst + 2 * (RL - RF) <= AY.SrcLimit) {
      for (int64_t k = RF; k < RL; ++k) {
        const int64_t Y = AY.V0 + k;
        const int64_t SY = AY.S0 + 2 * (Y - AY.D0);
        uint32_t* Out =
            DirectOut ? reinterpret_cast<uint32_t*>(DstRow(Y) + 4 * X0) : FS.Work.data();
        Halve2x2(SrcRow(SY) + SX0 * Bpp, SrcRow(SY + 1) + SX0 * Bpp, Bpp, N, Out);
        Emit(Y, X0, N, Out);
      }
      return;
    }
  }

  AreaTaps(AX, CF, CL, HorizontalBits, FS.ColTapStart, FS.ColTapSrc, FS.ColTapWeight);
  AreaTaps(AY, RF, RL, VerticalBits, FS.RowTapStart, FS.RowTapSrc, FS.RowTapWeight);
  // Mirrored, the taps run from right to left.
  const auto [SXLo, SXHi] = std::minmax_element(FS.ColTapSrc.begin(), FS.ColTapSrc.end());
  const int32_t SXMin = *SXLo, SXMax = *SXHi;
  const int64_t Cols = int64_t(SXMax) - SXMin + 1;
  // Enlarging on both axes, every pixel has one or two taps a side; the
  // byte offsets into the blended rows must fit 32 bits.
  auto AtMostTwo = [](const std::vector<int32_t>& Start) {
    for (std::size_t i = 1; i < Start.size(); ++i)
      if (Start[i] - Start[i - 1] > 2) return false;
    return true;
  };
  if (AX.SLen <= AX.DLen && AY.SLen <= AY.DLen && Cols * Bpp < (int64_t(1) << 28) &&
      AtMostTwo(FS.ColTapStart) && AtMostTwo(FS.RowTapStart)) {
    Enlarge(AY, RF, RL, X0, N, SXMin, Cols, ByteSource, Bpp, DirectOut);
    return;
  }
  // The horizontal plan: K windows a pixel, padded with weightless ones at
  // the pixel's first source pixel, for N pixels rounded up to four.
  const auto Taps = [&](int64_t c, int32_t* Out) {
    const int32_t U0 = FS.ColTapStart[std::size_t(c)], U1 = FS.ColTapStart[std::size_t(c + 1)];
    return TapWindows(FS.ColTapSrc.data() + U0, FS.ColTapWeight.data() + U0, U1 - U0, Out);
  };
  int K = 1;
  for (int64_t c = 0; c < N; ++c)
    K = std::max(K, Taps(c, nullptr));
  const int64_t Padded = (N + 3) / 4 * 4;
  FS.Windows.assign(std::size_t(Padded / 2 * K * WindowInts), 0);
  FS.PixelWindows.resize(std::size_t(2 * K));
  int32_t* T = FS.PixelWindows.data();
  for (int64_t c = 0; c < Padded; ++c) {
    const int h = int(c % 2), n = Taps(std::min(c, N - 1), T);
    for (int k = 0; k < K; ++k) {
      int32_t* Wk = FS.Windows.data() + ((c / 2) * K + k) * WindowInts;
      std::fill_n(Wk + 4 * h, 4, k < n ? T[2 * k + 1] : 0);
      Wk[8 + h] = (k < n ? T[2 * k] : T[0]) - SXMin;
    }
  }
  // The levels of a row and a margin for the windows' loads past its end.
  const std::size_t Len = std::size_t(Cols * Bpp);
  // Copied into 24 or 32 bits, the pixels go straight into the destination.
  const bool Direct24 = FCode == CodeSrcCopy && FDst.GetPixelFormat() == pf24bit;
  using THorizontal = void (*)(const int16_t*, const int32_t*, int, int64_t, uint8_t*);
  THorizontal Horizontal =
      Direct24
          ? (Bpp == 3 ? (K == 2 ? HorizontalPixels<3, 2, true> : HorizontalPixels<3, 0, true>)
                      : (K == 2 ? HorizontalPixels<4, 2, true> : HorizontalPixels<4, 0, true>))
          : (Bpp == 3 ? (K == 2 ? HorizontalPixels<3, 2, false> : HorizontalPixels<3, 0, false>)
                      : (K == 2 ? HorizontalPixels<4, 2, false> : HorizontalPixels<4, 0, false>));
#if defined(__x86_64__) && defined(__GNUC__) && defined(__SSE2__)
  if (HasAvx2())
    Horizontal =
        Direct24
            ? (Bpp == 3
                   ? (K == 2 ? HorizontalPixelsAvx2<3, 2, true> : HorizontalPixelsAvx2<3, 0, true>)
                   : (K == 2 ? HorizontalPixelsAvx2<4, 2, true> : HorizontalPixelsAvx2<4, 0, true>))
            : (Bpp == 3 ? (K == 2 ? HorizontalPixelsAvx2<3, 2, false>
                                  : HorizontalPixelsAvx2<3, 0, false>)
                        : (K == 2 ? HorizontalPixelsAvx2<4, 2, false>
                                  : HorizontalPixelsAvx2<4, 0, false>));
#endif
  FS.Levels.assign(Len + 16, 0);
  int16_t* Levels = FS.Levels.data();
  if (!ByteSource) {
    FS.Sums.resize(Len);
    FS.Decoded.resize(std::size_t(Cols));
    FS.Decoded2.resize(std::size_t(Cols));
  }
  for (int64_t k = RF; k < RL; ++k) {
    const int64_t Y = AY.V0 + k;
    const int32_t T0 = FS.RowTapStart[std::size_t(k - RF)];
    const int32_t T1 = FS.RowTapStart[std::size_t(k - RF + 1)];
    if (ByteSource) {
      FS.TapRows.resize(std::size_t(T1 - T0));
      for (int32_t t = T0; t < T1; ++t)
        FS.TapRows[std::size_t(t - T0)] =
            SrcRow(FS.RowTapSrc[std::size_t(t)]) + int64_t(SXMin) * Bpp;
      const int n = T1 - T0;
      const uint32_t* W = FS.RowTapWeight.data() + T0;
      const uint8_t* const* R = FS.TapRows.data();
      auto* L8 = reinterpret_cast<uint8_t*>(Levels);
      // One or two rows are the blend of enlarging, whose weights add up
      // to 2^14 too; a weightless row drops out.
      if (n == 1 || (n == 2 && (W[0] == 0 || W[1] == 0))) {
        const uint8_t* One = n == 1 || W[0] != 0 ? R[0] : R[1];
        BlendRows(One, One, 0, 0, Len, L8);
#if defined(__x86_64__) && defined(__GNUC__) && defined(__SSE2__)
      } else if (HasAvx2()) {
        (n == 2   ? VerticalLevelsAvx2<2>
         : n == 3 ? VerticalLevelsAvx2<3>
         : n == 4 ? VerticalLevelsAvx2<4>
                  : VerticalLevelsAvx2<0>)(R, W, n, Len, Levels);
#endif
      } else if (n == 2) {
        BlendRows(R[0], R[1], W[0], W[1], Len, L8);
      } else {
        (n == 3   ? VerticalLevels<3>
         : n == 4 ? VerticalLevels<4>
                  : VerticalLevels<0>)(R, W, n, Len, Levels);
      }
    } else {
      // Decoded rows two at a time into 32-bit sums, then the levels.
      auto Row = [&](int32_t t, std::vector<uint32_t>& Buffer) -> const uint8_t* {
        DecodeRow(FSrc, FS.RowTapSrc[std::size_t(t)], SXMin, int32_t(Cols), Buffer.data());
        return reinterpret_cast<const uint8_t*>(Buffer.data());
      };
      for (int32_t t = T0; t < T1; t += 2) {
        const uint8_t* A = Row(t, FS.Decoded);
        const bool Pair = t + 1 < T1;
        AccumulateRows(FS.Sums.data(), A, FS.RowTapWeight[std::size_t(t)],
                       Pair ? Row(t + 1, FS.Decoded2) : A,
                       Pair ? FS.RowTapWeight[std::size_t(t + 1)] : 0, Len, t == T0);
      }
      for (std::size_t i = 0; i < Len; ++i)
        Levels[i] = int16_t(int32_t(FS.Sums[i] >> 6) + BlendBias);
    }
    if (Direct24) {
      Horizontal(Levels, FS.Windows.data(), K, N, DstRow(Y) + 3 * X0);
      continue;
    }
    uint32_t* Out = DirectOut ? reinterpret_cast<uint32_t*>(DstRow(Y) + 4 * X0) : FS.Work.data();
    Horizontal(Levels, FS.Windows.data(), K, N, reinterpret_cast<uint8_t*>(Out));
    Emit(Y, X0, N, Out);
  }
}

void TCopier::Enlarge(const TAxis& AY, int64_t RF, int64_t RL, int64_t X0, int64_t N, int32_t SXMin,
                      int64_t Cols, bool ByteSource, int Bpp, bool DirectOut) {
  // The column plan, in groups of eight pixels (the last one padded with
  // copies of the last pixel); ColIndex is free once the taps are known.
  const int64_t Pairs = (N + 7) / 8 * 4;
  FS.ColIndex.resize(std::size_t(Pairs) * PairInts);
  int32_t* Plan = FS.ColIndex.data();
  for (int64_t p = 0; p < Pairs; ++p) {
    TPairPlan PP{};
    for (int h = 0; h < 2; ++h) {
      const auto c = std::size_t(std::min<int64_t>(2 * p + h, N - 1));
      const auto U0 = std::size_t(FS.ColTapStart[c]), U1 = std::size_t(FS.ColTapStart[c + 1]);
      int32_t S0 = FS.ColTapSrc[U0], S1 = FS.ColTapSrc[U1 - 1];
      uint32_t W0 = FS.ColTapWeight[U0], W1 = U1 - U0 == 2 ? FS.ColTapWeight[U0 + 1] : 0;
      if (W1 == 0) S1 = S0;
      if (W0 == 0) S0 = S1;
      if (S0 == S1) W0 = 0;
      PP.Off0[h] = (S0 - SXMin) * Bpp * 2;
      PP.Off1[h] = (S1 - SXMin) * Bpp * 2;
      for (int k = 0; k < 3; ++k)
        PP.W0[4 * h + k] = uint16_t(W0);
    }
    std::memcpy(Plan + p * int64_t(PairInts), &PP, sizeof PP);
  }

  // Two blended rows of 16-bit values of Cols * Bpp source bytes, the
  // lanes read beyond the last pixel zeroed.
  const std::size_t Len = std::size_t(Cols * Bpp);
  const std::size_t Stride = Len / 2 + 3; // in uint32_t
  FS.Sums.assign(2 * Stride, 0);
  uint8_t* VBuf[2] = {reinterpret_cast<uint8_t*>(FS.Sums.data()),
                      reinterpret_cast<uint8_t*>(FS.Sums.data() + Stride)};
  int32_t Held[2] = {-1, -1}; // source rows in Decoded and Decoded2
  if (!ByteSource) {
    FS.Decoded.resize(std::size_t(Cols));
    FS.Decoded2.resize(std::size_t(Cols));
  }
  // Source row SY from column SXMin, decoding into a buffer that does not
  // hold row Keep.
  auto Row = [&](int32_t SY, int32_t Keep) -> const uint8_t* {
    if (ByteSource) return SrcRow(SY) + int64_t(SXMin) * Bpp;
    std::vector<uint32_t>* Buf[2] = {&FS.Decoded, &FS.Decoded2};
    int Slot = Held[0] == SY ? 0 : Held[1] == SY ? 1 : -1;
    if (Slot < 0) {
      Slot = Held[0] == Keep ? 1 : 0;
      DecodeRow(FSrc, SY, SXMin, int32_t(Cols), Buf[Slot]->data());
      Held[Slot] = SY;
    }
    return reinterpret_cast<const uint8_t*>(Buf[Slot]->data());
  };

  // Rows are expanded in pairs, which share the loads of the plan. A row
  // whose taps repeat those of the row above is a copy of it, or, under a
  // raster operation, expanded again from the same blended row.
  const TPixelFormat F = FDst.GetPixelFormat();
  const int Bytes = BitsPerPixel(F) / 8;
  const bool Copy = FCode == CodeSrcCopy;
  const bool Direct15 = Copy && F == pf15bit;
  if (!Direct15 && !DirectOut) FS.Work.resize(std::size_t(2 * N));
  int64_t PendY[2];
  const uint8_t* PendV[2];
  uint8_t* PendOut[2];
  int Pending = 0;
  auto Flush = [&] {
    if (Pending == 2)
      Direct15 ? ExpandRows<2, true>(PendV, Plan, N, PendOut)
               : ExpandRows<2, false>(PendV, Plan, N, PendOut);
    else if (Pending == 1)
      Direct15 ? ExpandRows<1, true>(PendV, Plan, N, PendOut)
               : ExpandRows<1, false>(PendV, Plan, N, PendOut);
    if (!Direct15 && !DirectOut)
      for (int r = 0; r < Pending; ++r)
        Emit(PendY[r], X0, N, reinterpret_cast<const uint32_t*>(PendOut[r]));
    Pending = 0;
  };
  int32_t Prev[4] = {-1, -1, -1, -1};
  int Cur = 0; // the buffer holding the blended row of taps Prev
  for (int64_t k = RF; k < RL; ++k) {
    const int64_t Y = AY.V0 + k;
    const auto T0 = std::size_t(FS.RowTapStart[std::size_t(k - RF)]);
    const auto T1 = std::size_t(FS.RowTapStart[std::size_t(k - RF + 1)]);
    int32_t R0 = FS.RowTapSrc[T0], R1 = FS.RowTapSrc[T1 - 1];
    uint32_t W0 = FS.RowTapWeight[T0], W1 = T1 - T0 == 2 ? FS.RowTapWeight[T0 + 1] : 0;
    if (W1 == 0) R1 = R0;
    if (W0 == 0) R0 = R1;
    if (R0 == R1) W0 = W1 = 1u << (VerticalBits - 1);
    const int32_t Taps[4] = {R0, R1, int32_t(W0), int32_t(W1)};
    if (std::equal(Taps, Taps + 4, Prev)) {
      if (Copy && F != pf4bit) { // the row repeats the one above
        Flush();
        std::memcpy(DstRow(Y) + X0 * Bytes, DstRow(Y - 1) + X0 * Bytes, std::size_t(N * Bytes));
        continue;
      }
    } else {
      // The other buffer is free: at most one row is pending, using Cur.
      Cur = 1 - Cur;
      const uint8_t* A = Row(R0, R1);
      BlendRows(A, Row(R1, R0), W0, W1, Len, VBuf[Cur]);
      std::copy(Taps, Taps + 4, Prev);
    }
    PendY[Pending] = Y;
    PendV[Pending] = VBuf[Cur];
    PendOut[Pending] = Direct15    ? DstRow(Y) + 2 * X0
                       : DirectOut ? DstRow(Y) + 4 * X0
                                   : reinterpret_cast<uint8_t*>(FS.Work.data() + Pending * N);
    if (++Pending == 2) Flush();
  }
  Flush();
}

} // namespace

void BlockCopy(TBitmap& Dst, int32_t X, int32_t Y, int32_t W, int32_t H, const TBitmap& Src,
               int32_t SX, int32_t SY, int32_t SW, int32_t SH, TCopyMode Rop, TStretchBltMode Mode,
               TColor Pattern, TStretchScratch& Scratch) {
  TAxis AX{X, W, SX, SW, false, Dst.GetWidth(), Src.GetWidth(), 0, 0};
  TAxis AY{Y, H, SY, SH, false, Dst.GetHeight(), Src.GetHeight(), 0, 0};
  for (TAxis* A : {&AX, &AY}) {
    if (A->DLen < 0) {
      A->D0 += A->DLen;
      A->DLen = -A->DLen;
      A->Flip = !A->Flip;
    }
    if (A->SLen < 0) {
      A->S0 += A->SLen;
      A->SLen = -A->SLen;
      A->Flip = !A->Flip;
    }
    A->V0 = std::max<int64_t>(A->D0, 0);
    A->V1 = std::min<int64_t>(A->D0 + A->DLen, A->DstLimit);
    if (A->DLen == 0 || A->V0 >= A->V1) return;
  }
  const auto Code = uint8_t(Rop >> 16);
  TCopier C(Dst, Src, Scratch, Code, Pattern);
  if ((((Code >> 2) ^ Code) & 0x33) == 0) { // the source does not matter
    C.NoSource(AX.V0, AX.V1, AY.V0, AY.V1);
    return;
  }
  if (AX.SLen == 0 || AY.SLen == 0) return;
  const bool SameSize = AX.SLen == AX.DLen && AY.SLen == AY.DLen;
  // Enlarging by a whole factor on both axes, every destination pixel covers
  // part of one source pixel only: its area average is that pixel, which is
  // also the nearest one. Palette formats stay with the filter, whose
  // nearest-colour match may pick another of two equal palette entries.
  auto Whole = [](const TAxis& A) { return A.SLen <= A.DLen && A.DLen % A.SLen == 0; };
  auto Palette = [](TPixelFormat F) { return F == pf4bit || F == pf8bit; };
  const bool SinglePixel =
      Whole(AX) && Whole(AY) && !Palette(Src.GetPixelFormat()) && !Palette(Dst.GetPixelFormat());
  if (Mode == sbmHalftone && !SameSize && !SinglePixel)
    C.Area(AX, AY);
  else
    C.Nearest(AX, AY);
}

} // namespace qeb::detail
