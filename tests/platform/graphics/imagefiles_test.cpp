// PNG and JPEG files: round trips, variants, progress and hostile input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/jpegimage.h"
#include "qebgeolib/platform/graphics/pngimage.h"
#include "tests/errortext.h"

using namespace qeb;
using qeb::test::ErrorOf;

namespace {

std::string TmpName(const char* Name) {
  return std::string(QEB_TEST_TMPDIR) + "/graphics_" + Name;
}

std::vector<uint8_t> FromHex(const std::string& H) {
  std::vector<uint8_t> B;
  for (std::size_t i = 0; i + 1 < H.size(); i += 2)
    B.push_back(uint8_t(std::stoi(H.substr(i, 2), nullptr, 16)));
  return B;
}

void WriteFile(const std::string& Name, const std::vector<uint8_t>& Bytes) {
  TMemoryStream M;
  M.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
  M.SaveToFile(Name);
}

std::vector<uint8_t> Bytes(TGraphic& G) {
  TMemoryStream M;
  G.SaveToStream(M);
  return std::vector<uint8_t>(M.Memory(), M.Memory() + M.GetSize());
}

uint32_t Crc32(const uint8_t* P, std::size_t N) {
  uint32_t C = 0xFFFFFFFF;
  for (std::size_t i = 0; i < N; ++i) {
    C ^= P[i];
    for (int k = 0; k < 8; ++k)
      C = (C >> 1) ^ (0xEDB88320u & (0u - (C & 1)));
  }
  return ~C;
}

// A smooth picture, friendly to JPEG.
void Gradient(TBitmap& B) {
  for (int y = 0; y < B.GetHeight(); ++y)
    for (int x = 0; x < B.GetWidth(); ++x)
      B.GetCanvas().SetPixels(x, y, RGB(uint8_t(4 * x), uint8_t(3 * y), uint8_t(128 + x - y)));
}

int MaxChannelDiff(TBitmap& A, TBitmap& B) {
  int Max = 0;
  for (int y = 0; y < A.GetHeight(); ++y)
    for (int x = 0; x < A.GetWidth(); ++x) {
      const TColor P = A.GetCanvas().GetPixels(x, y), Q = B.GetCanvas().GetPixels(x, y);
      for (int Sh = 0; Sh < 24; Sh += 8)
        Max = std::max(Max, std::abs(int(P >> Sh & 0xFF) - int(Q >> Sh & 0xFF)));
    }
  return Max;
}

} // namespace

TEST(PngImage, RoundTripsAndVariants) {
  for (TPixelFormat F : {pf4bit, pf8bit, pf15bit, pf24bit, pf32bit}) {
    TBitmap B(9, 4, F);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x)
        B.GetCanvas().SetPixels(x, y, (x + y) % 3 ? clNavy : RGB(200, 16, 248));
    TPNGImage P;
    P.Assign(&B);
    P.SaveToFile(TmpName("roundtrip.png"));
    TPNGImage L;
    L.LoadFromFile(TmpName("roundtrip.png"));
    TBitmap R;
    R.Assign(&L);
    const TPixelFormat Expected = F == pf4bit ? pf4bit : F == pf8bit ? pf8bit : pf24bit;
    EXPECT_EQ(R.GetPixelFormat(), Expected);
    EXPECT_EQ(MaxChannelDiff(B, R), 0) << int(F);
  }
  // Indexes beyond the palette read as black, and such an image still saves.
  TBitmap Short(2, 1, pf8bit);
  Short.SetPalette({clRed});
  Short.ScanLine(0)[0] = 0;
  Short.ScanLine(0)[1] = 200;
  TPNGImage SP;
  SP.Assign(&Short);
  TMemoryStream SM;
  SP.SaveToStream(SM);
  SM.SetPosition(0);
  SP.LoadFromStream(SM);
  EXPECT_EQ(SP.GetBitmap().GetCanvas().GetPixels(0, 0), clRed);
  EXPECT_EQ(SP.GetBitmap().GetCanvas().GetPixels(1, 0), clBlack);

  // Alpha is laid over white.
  TPNGImage A;
  WriteFile(TmpName("alpha.png"),
            FromHex("89504e470d0a1a0a0000000d4948445200000002000000010806000000f4227f8a0000000e49"
                    "444154789c63f8cfc000420d000f7a037e77e97f970000000049454e44ae426082"));
  A.LoadFromFile(TmpName("alpha.png"));
  EXPECT_EQ(A.GetBitmap().GetPixelFormat(), pf32bit);
  EXPECT_EQ(A.GetBitmap().GetCanvas().GetPixels(0, 0), clRed);
  EXPECT_EQ(A.GetBitmap().GetCanvas().GetPixels(1, 0), RGB(127, 127, 255));
  // 16-bit grey becomes 8-bit grey.
  WriteFile(TmpName("grey.png"),
            FromHex("89504e470d0a1a0a0000000d49484452000000030000000110000000006e1b972b0000000f49"
                    "444154789c6360606868f8ff1f00068402ff4660deb60000000049454e44ae426082"));
  A.LoadFromFile(TmpName("grey.png"));
  EXPECT_EQ(A.GetBitmap().GetPixelFormat(), pf8bit);
  EXPECT_EQ(A.GetBitmap().GetCanvas().GetPixels(1, 0), RGB(128, 128, 128));
  EXPECT_EQ(A.GetBitmap().GetCanvas().GetPixels(2, 0), clWhite);

  // Hostile and broken files keep the image and name the file and fault.
  const std::string Name = TmpName("bad.png");
  std::vector<uint8_t> Good = Bytes(A);
  std::vector<uint8_t> Cut(Good.begin(), Good.end() - 20);
  WriteFile(Name, Cut);
  EXPECT_EQ(ErrorOf([&] { A.LoadFromFile(Name); }),
            "Invalid PNG file \"" + Name + "\": unexpected end of data");
  EXPECT_EQ(A.GetWidth(), 3);
  std::vector<uint8_t> Huge = Good;
  for (int k = 0; k < 2; ++k) { // 20000 x 20000 pixels
    Huge[std::size_t(18 + 4 * k)] = 0x4E;
    Huge[std::size_t(19 + 4 * k)] = 0x20;
  }
  WriteFile(Name, Huge);
  EXPECT_EQ(ErrorOf([&] { A.LoadFromFile(Name); }),
            "Invalid PNG file \"" + Name + "\": IHDR: CRC error");
  const uint32_t Crc = Crc32(Huge.data() + 12, 17);
  for (int k = 0; k < 4; ++k)
    Huge[std::size_t(29 + k)] = uint8_t(Crc >> (24 - 8 * k));
  WriteFile(Name, Huge);
  EXPECT_EQ(ErrorOf([&] { A.LoadFromFile(Name); }),
            "Invalid PNG file \"" + Name +
                "\": image of 20000 x 20000 pixels exceeds 268435456 bytes");
  // 4000 x 4000 pixels fit the limit, but these few bytes cannot hold them.
  for (int k = 0; k < 2; ++k) {
    Huge[std::size_t(18 + 4 * k)] = 0x0F;
    Huge[std::size_t(19 + 4 * k)] = 0xA0;
  }
  const uint32_t Crc2 = Crc32(Huge.data() + 12, 17);
  for (int k = 0; k < 4; ++k)
    Huge[std::size_t(29 + k)] = uint8_t(Crc2 >> (24 - 8 * k));
  WriteFile(Name, Huge);
  EXPECT_EQ(ErrorOf([&] { A.LoadFromFile(Name); }),
            "Invalid PNG file \"" + Name + "\": data too short for 4000 x 4000 pixels");
  WriteFile(Name, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(ErrorOf([&] { A.LoadFromFile(Name); }),
            "Invalid PNG file \"" + Name + "\": Not a PNG file");
  EXPECT_EQ(ErrorOf([] {
              TPNGImage E;
              TMemoryStream M;
              E.SaveToStream(M);
            }),
            "Cannot save an empty image");
}

TEST(JpegImage, QualityRoundTripAndProgress) {
  TBitmap B(64, 48, pf24bit);
  Gradient(B);
  TJPEGImage J;
  J.Assign(&B);
  EXPECT_EQ(J.GetWidth(), 64);
  J.SetCompressionQuality(95);
  const std::size_t Fine = Bytes(J).size();
  J.SetCompressionQuality(10);
  const std::size_t Coarse = Bytes(J).size();
  EXPECT_LT(Coarse, Fine);
  J.SetCompressionQuality(500);
  EXPECT_EQ(J.GetCompressionQuality(), 100);
  J.SetCompressionQuality(95);
  J.SetProgressiveEncoding(true);
  J.SaveToFile(TmpName("q95.jpg"));

  TJPEGImage L;
  std::vector<int> Seen;
  L.SetOnProgress(
      [&](TObject* S, TProgressStage St, uint8_t P, bool, const TRect&, const std::string&) {
        EXPECT_EQ(S, &L);
        Seen.push_back(St * 1000 + P);
      });
  L.LoadFromFile(TmpName("q95.jpg"));
  EXPECT_EQ(L.GetHeight(), 48);
  TBitmap R;
  R.Assign(&L); // decodes, reporting progress
  EXPECT_EQ(R.GetPixelFormat(), pf24bit);
  EXPECT_LE(MaxChannelDiff(B, R), 12);
  ASSERT_GE(Seen.size(), 3u);
  EXPECT_EQ(Seen.front(), 0);
  EXPECT_EQ(Seen.back(), 2100);
  for (std::size_t i = 2; i + 1 < Seen.size(); ++i)
    EXPECT_LT(Seen[i - 1], Seen[i]);

  // A throwing progress handler stops decoding and leaves the bitmap alone.
  L.SetOnProgress([](TObject*, TProgressStage S, uint8_t, bool, const TRect&, const std::string&) {
    if (S == psRunning) throw std::runtime_error("cancelled");
  });
  TBitmap Keep(3, 3);
  EXPECT_EQ(ErrorOf([&] { Keep.Assign(&L); }), "cancelled");
  EXPECT_EQ(Keep.GetWidth(), 3);

  // A loaded file saves unchanged; other formats compress through 24 bits.
  TMemoryStream File;
  File.LoadFromFile(TmpName("q95.jpg"));
  EXPECT_EQ(Bytes(L), std::vector<uint8_t>(File.Memory(), File.Memory() + File.GetSize()));
  TBitmap P15(8, 8, pf15bit), P4(8, 8, pf4bit);
  TJPEGImage J2;
  J2.Assign(&P15);
  EXPECT_GT(Bytes(J2).size(), 100u);
  J2.Assign(&P4);
  EXPECT_GT(Bytes(J2).size(), 100u);
  TFont NotAnImage;
  EXPECT_EQ(ErrorOf([&] { L.AssignTo(&NotAnImage); }), "Cannot assign a TJPEGImage to a TFont");
}

TEST(JpegImage, HostileFilesAreRefused) {
  TBitmap B(40, 30, pf24bit);
  Gradient(B);
  TJPEGImage J;
  J.Assign(&B);
  const std::vector<uint8_t> Good = Bytes(J);
  const std::string Name = TmpName("bad.jpg");
  TJPEGImage L;
  auto Err = [&](const std::vector<uint8_t>& Data) {
    WriteFile(Name, Data);
    return ErrorOf([&] {
      L.LoadFromFile(Name);
      TBitmap R;
      R.Assign(&L);
    });
  };
  const std::string Prefix = "Invalid JPEG file \"" + Name + "\": ";
  EXPECT_EQ(Err({0x00, 0x11, 0x22}), Prefix + "Not a JPEG file: starts with 0x00 0x11");
  EXPECT_EQ(Err({}), Prefix + "no data");
  std::vector<uint8_t> Cut(Good.begin(), Good.begin() + std::ptrdiff_t(Good.size() / 2));
  EXPECT_EQ(Err(Cut), Prefix + "unexpected end of data");
  // Claim 60000 x 60000 pixels in the frame header.
  std::vector<uint8_t> Huge = Good;
  for (std::size_t i = 0; i + 8 < Huge.size(); ++i)
    if (Huge[i] == 0xFF && Huge[i + 1] == 0xC0) {
      Huge[i + 5] = 0xEA;
      Huge[i + 6] = 0x60;
      Huge[i + 7] = 0xEA;
      Huge[i + 8] = 0x60;
      break;
    }
  EXPECT_EQ(Err(Huge), Prefix + "image of 60000 x 60000 pixels exceeds 268435456 bytes");
}
