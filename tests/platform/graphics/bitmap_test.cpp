#include "qebgeolib/platform/graphics/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "tests/errortext.h"

using namespace qeb;
using qeb::test::ErrorOf;

namespace {

const TPixelFormat AllFormats[] = {pf4bit, pf8bit, pf15bit, pf24bit, pf32bit};

std::string TmpName(const char* Name) {
  return std::string(QEB_TEST_TMPDIR) + "/graphics_" + Name;
}

// Little-endian byte writer for hand-made BMP files.
struct TBytes {
  std::vector<uint8_t> B;
  TBytes& U8(uint32_t V) {
    B.push_back(uint8_t(V));
    return *this;
  }
  TBytes& U16(uint32_t V) { return U8(V).U8(V >> 8); }
  TBytes& U32(uint32_t V) { return U16(V).U16(V >> 16); }
};

// File header plus BITMAPINFOHEADER; the caller appends extras and pixels.
TBytes BmpHead(int32_t W, int32_t H, int Bpp, uint32_t Compression, uint32_t Colors,
               uint32_t OffBits) {
  TBytes T;
  T.U8('B').U8('M').U32(0).U32(0).U32(OffBits);
  T.U32(40).U32(uint32_t(W)).U32(uint32_t(H)).U16(1).U16(uint32_t(Bpp)).U32(Compression);
  T.U32(0).U32(0).U32(0).U32(Colors).U32(0);
  return T;
}

TBitmap& LoadBytes(TBitmap& B, const std::vector<uint8_t>& Bytes) {
  TMemoryStream M;
  M.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
  M.SetPosition(0);
  B.LoadFromStream(M);
  return B;
}

std::string LoadError(const std::vector<uint8_t>& Bytes, const char* Name) {
  const std::string File = TmpName(Name);
  TMemoryStream M;
  M.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
  M.SaveToFile(File);
  TBitmap B(2, 2);
  std::string Msg = ErrorOf([&] { B.LoadFromFile(File); });
  EXPECT_EQ(B.GetWidth(), 2) << "a failed load keeps the old image";
  return Msg;
}

} // namespace

TEST(Bitmap, NewBitmapsAreWhiteAndKeepTheirFormat) {
  TBitmap Empty;
  EXPECT_TRUE(Empty.Empty());
  EXPECT_EQ(Empty.GetPixelFormat(), pf24bit);
  for (TPixelFormat F : AllFormats) {
    TBitmap B(5, 3, F);
    EXPECT_EQ(B.GetPixelFormat(), F);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        ASSERT_EQ(B.GetCanvas().GetPixels(x, y), clWhite) << int(F);
  }
  EXPECT_EQ(TBitmap(1920, 2, pf15bit).GetScanLineSize(), 3840); // two bytes a pixel
  EXPECT_EQ(TBitmap(5, 1, pf4bit).GetScanLineSize(), 4);
  EXPECT_EQ(TBitmap(5, 1, pf24bit).GetScanLineSize(), 16);
  EXPECT_EQ(TBitmap(1, 1, pf4bit).GetPalette().size(), 16u);
  EXPECT_EQ(TBitmap(1, 1, pf8bit).GetPalette().size(), 256u);
  EXPECT_EQ(TBitmap(1, 1, pf4bit).GetPalette()[7], clSilver);
}

TEST(Bitmap, ResizeKeepsPixelsAndRefusesBadSizes) {
  for (TPixelFormat F : AllFormats) {
    TBitmap B(3, 3, F);
    B.GetCanvas().SetPixels(2, 2, clBlack);
    B.GetCanvas().SetPixels(0, 0, clRed);
    B.SetSize(5, 4);
    EXPECT_EQ(B.GetCanvas().GetPixels(2, 2), clBlack) << int(F);
    EXPECT_EQ(B.GetCanvas().GetPixels(0, 0), clRed) << int(F);
    EXPECT_EQ(B.GetCanvas().GetPixels(3, 2), clWhite) << int(F); // new pixels are white
    EXPECT_EQ(B.GetCanvas().GetPixels(2, 3), clWhite) << int(F);
    B.SetWidth(3); // odd widths of pf4bit keep the half byte right
    B.SetWidth(4);
    EXPECT_EQ(B.GetCanvas().GetPixels(3, 0), clWhite) << int(F);
  }
  TBitmap B(2, 2);
  EXPECT_EQ(ErrorOf([&] { B.SetSize(-1, 5); }), "Invalid bitmap size -1 x 5");
  EXPECT_THROW(B.SetSize(100000, 100000), EOutOfResources);
  EXPECT_EQ(ErrorOf([&] { B.NewImage(65536, 65536, pf32bit); }),
            "Bitmap of 65536 x 65536 pixels exceeds 268435456 bytes");
  EXPECT_EQ(B.GetWidth(), 2);
  EXPECT_EQ(ErrorOf([&] { B.ScanLine(2); }), "Scan line index out of range");
  EXPECT_THROW(B.SetPalette({clRed}), EInvalidGraphicOperation);
}

TEST(Bitmap, FormatConversion) {
  TBitmap B(3, 1, pf24bit);
  TCanvas& C = B.GetCanvas();
  C.SetPixels(0, 0, 0x123456);
  C.SetPixels(1, 0, clBlack);
  B.SetPixelFormat(pf15bit);
  // Five bits a channel, widened back by repeating the top bits.
  EXPECT_EQ(C.GetPixels(0, 0), RGB(0x52, 0x31, 0x10));
  EXPECT_EQ(C.GetPixels(1, 0), clBlack);
  EXPECT_EQ(C.GetPixels(2, 0), clWhite);
  B.SetPixelFormat(pf4bit); // nearest of the 16 colours
  EXPECT_EQ(C.GetPixels(0, 0), clMaroon);
  EXPECT_EQ(C.GetPixels(2, 0), clWhite);
  B.SetPixelFormat(pf32bit);
  EXPECT_EQ(C.GetPixels(0, 0), clMaroon);
  EXPECT_EQ(B.ScanLine(0)[3], 0) << "the reserved byte stays 0";

  TBitmap P(2, 1, pf8bit);
  P.SetPalette({clBlue, clYellow});
  P.ScanLine(0)[0] = 1;
  P.ScanLine(0)[1] = 7; // beyond the palette
  EXPECT_EQ(P.GetCanvas().GetPixels(0, 0), clYellow);
  EXPECT_EQ(P.GetCanvas().GetPixels(1, 0), clBlack);
  EXPECT_EQ(P.ColorToPixel(clNavy), 0u);

  TBitmap Copy;
  Copy.Assign(&P);
  EXPECT_EQ(Copy.GetPixelFormat(), pf8bit);
  EXPECT_EQ(Copy.GetCanvas().GetPixels(0, 0), clYellow);
  Copy.Assign(nullptr);
  EXPECT_TRUE(Copy.Empty());
  TFont NotAnImage;
  EXPECT_EQ(ErrorOf([&] { Copy.Assign(&NotAnImage); }), "Cannot assign a TFont to a TBitmap");
}

TEST(Bitmap, BmpRoundTripInEveryFormatWithProgress) {
  for (TPixelFormat F : AllFormats) {
    TBitmap B(7, 5, F);
    TCanvas& C = B.GetCanvas();
    const TColor Colors[] = {clRed, clBlack, clTeal, clYellow, RGB(8, 16, 248)};
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        C.SetPixels(x, y, Colors[(x + 2 * y) % 5]);
    std::vector<int> Stages;
    B.SetOnProgress(
        [&](TObject* S, TProgressStage St, uint8_t P, bool, const TRect&, const std::string&) {
          EXPECT_EQ(S, &B);
          Stages.push_back(St * 1000 + P);
        });
    const std::string File = TmpName("roundtrip.bmp");
    B.SaveToFile(File);
    EXPECT_EQ(Stages.front(), psStarting * 1000);
    EXPECT_EQ(Stages.back(), psEnding * 1000 + 100);
    TBitmap L;
    L.LoadFromFile(File);
    EXPECT_EQ(L.GetPixelFormat(), F);
    ASSERT_EQ(L.GetWidth(), 7);
    ASSERT_EQ(L.GetHeight(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        ASSERT_EQ(L.GetCanvas().GetPixels(x, y), C.GetPixels(x, y)) << int(F);
  }
  // Loading from a stream stops right after the image.
  TMemoryStream Two;
  TBitmap A(3, 2, pf8bit), B2;
  A.SaveToStream(Two);
  const int64_t End = Two.GetPosition();
  Two.WriteBuffer("tail", 4);
  Two.SetPosition(0);
  B2.LoadFromStream(Two);
  EXPECT_EQ(Two.GetPosition(), End);
  EXPECT_EQ(ErrorOf([] {
              TBitmap E;
              TMemoryStream M;
              E.SaveToStream(M);
            }),
            "Cannot save an empty bitmap");
}

TEST(Bitmap, BmpVariantsLoad) {
  TBitmap B;
  // 1 bit, top-down, two-colour palette.
  TBytes T = BmpHead(3, -2, 1, 0, 2, 14 + 40 + 8);
  T.U32(0x0000FF).U32(0xFFFFFF);     // blue, white
  T.U32(0x000000A0).U32(0x00000040); // rows 101..... and 010.....
  LoadBytes(B, T.B);
  EXPECT_EQ(B.GetPixelFormat(), pf4bit);
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 0), clWhite);
  EXPECT_EQ(B.GetCanvas().GetPixels(1, 0), clBlue);
  EXPECT_EQ(B.GetCanvas().GetPixels(1, 1), clWhite);

  // 16 bit 5-6-5 bit fields, bottom-up: loads as pf24bit.
  T = BmpHead(2, 1, 16, 3, 0, 14 + 40 + 12);
  T.U32(0xF800).U32(0x07E0).U32(0x001F);
  T.U16(0xF800).U16(0x07E0);
  LoadBytes(B, T.B);
  EXPECT_EQ(B.GetPixelFormat(), pf24bit);
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 0), clRed);
  EXPECT_EQ(B.GetCanvas().GetPixels(1, 0), clLime);

  // 32 bit with the alpha byte set: the reserved byte is cleared.
  T = BmpHead(1, 1, 32, 0, 0, 54);
  T.U32(0xFF112233);
  LoadBytes(B, T.B);
  EXPECT_EQ(B.GetPixelFormat(), pf32bit);
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 0), RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(B.ScanLine(0)[3], 0);

  // RLE8: a run, an absolute run, end of line, delta, end of bitmap.
  T = BmpHead(4, 3, 8, 1, 3, 14 + 40 + 12);
  T.U32(0x000000).U32(0x0000FF).U32(0x00FF00); // black, blue, green
  T.U8(3).U8(1);                               // 3 x index 1 on the bottom row
  T.U8(0).U8(0);                               // end of line
  T.U8(0).U8(3).U8(2).U8(2).U8(1).U8(0);       // absolute 2 2 1 (+ pad)
  T.U8(0).U8(2).U8(1).U8(1);                   // delta: right 1, up 1
  T.U8(1).U8(2);                               // index 2 at x = 4: clipped
  T.U8(0).U8(1);
  LoadBytes(B, T.B);
  EXPECT_EQ(B.GetPixelFormat(), pf8bit);
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 2), clBlue);
  EXPECT_EQ(B.GetCanvas().GetPixels(2, 2), clBlue);
  EXPECT_EQ(B.GetCanvas().GetPixels(3, 2), clBlack); // skipped pixels take index 0
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 1), clLime);
  EXPECT_EQ(B.GetCanvas().GetPixels(2, 1), clBlue);

  // RLE4: a run alternates its two nibbles.
  T = BmpHead(5, 1, 4, 2, 2, 14 + 40 + 8);
  T.U32(0xFF0000).U32(0x00FFFF); // red, aqua
  T.U8(5).U8(0x01).U8(0).U8(1);
  LoadBytes(B, T.B);
  EXPECT_EQ(B.GetPixelFormat(), pf4bit);
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 0), clRed);
  EXPECT_EQ(B.GetCanvas().GetPixels(1, 0), clAqua);
  EXPECT_EQ(B.GetCanvas().GetPixels(4, 0), clRed);

  // OS/2 core header, 24 bit.
  TBytes O;
  O.U8('B').U8('M').U32(0).U32(0).U32(26);
  O.U32(12).U16(1).U16(1).U16(1).U16(24);
  O.U8(0x10).U8(0x20).U8(0x30).U8(0);
  LoadBytes(B, O.B);
  EXPECT_EQ(B.GetCanvas().GetPixels(0, 0), RGB(0x30, 0x20, 0x10));
}

TEST(Bitmap, HostileBmpFilesAreRefused) {
  const std::string F = TmpName("bad.bmp");
  auto Msg = [&](const char* Fault) { return "Invalid BMP file \"" + F + "\": " + Fault; };
  EXPECT_EQ(LoadError({'B', 'M', 0}, "bad.bmp"), Msg("file header truncated"));
  EXPECT_EQ(LoadError({'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "bad.bmp"),
            Msg("not a BMP file"));
  // 30000 x 30000 at 24 bits needs 2.7 GB: refused before anything is allocated.
  TBytes T = BmpHead(30000, 30000, 24, 0, 0, 54);
  T.U32(0);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"),
            Msg("image of 30000 x 30000 pixels exceeds 268435456 bytes"));
  T = BmpHead(100, 100, 24, 0, 0, 54);
  T.U32(0);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("pixel data truncated"));
  T = BmpHead(1, 1, 24, 0, 0, 9999);
  T.U32(0);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("bad pixel data offset 9999"));
  T = BmpHead(1, 1, 4, 0, 17, 54);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("palette of 17 colours for 4 bits a pixel"));
  T = BmpHead(1, 1, 8, 0, 256, 54);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("palette truncated"));
  T = BmpHead(0, 1, 24, 0, 0, 54);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("bad image size 0 x 1"));
  T = BmpHead(1, INT32_MIN, 24, 0, 0, 54);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("bad image size 1 x 2147483648"));
  T = BmpHead(1, 1, 7, 0, 0, 54);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("unsupported bit count 7"));
  T = BmpHead(1, 1, 16, 3, 0, 66);
  T.U32(0x0F0F).U32(0).U32(0).U32(0);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("bit masks are not contiguous"));
  T = BmpHead(2, 1, 8, 1, 1, 58);
  T.U32(0).U8(2);
  EXPECT_EQ(LoadError(T.B, "bad.bmp"), Msg("RLE data truncated"));
  // Without a file the message says so.
  TBitmap B;
  EXPECT_EQ(ErrorOf([&] { LoadBytes(B, {'B', 'M'}); }), "Invalid BMP image: file header truncated");
  EXPECT_THROW(B.LoadFromFile(TmpName("missing.bmp")), EInOutError);
}
