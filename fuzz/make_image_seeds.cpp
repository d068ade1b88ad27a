// Writes the seed corpora of the image fuzz targets: one tiny file of each
// variant the readers know, so fuzzing starts from every branch.
//
//   make_image_seeds <corpus folder>   (writes <folder>/bmp, /png, /jpeg)
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/jpegimage.h"
#include "qebgeolib/platform/graphics/pngimage.h"

namespace {

using namespace qeb;
using TBytes = std::vector<uint8_t>;

void Save(const std::filesystem::path& Name, const TBytes& B) {
  TMemoryStream M;
  M.WriteBuffer(B.data(), int64_t(B.size()));
  M.SaveToFile(Name.string());
}

// A small picture with a few colours.
void Paint(TBitmap& B) {
  TCanvas& C = B.GetCanvas();
  C.GetBrush().SetColor(clYellow);
  C.Ellipse(0, 0, B.GetWidth(), B.GetHeight());
  C.GetPen().SetColor(clBlue);
  C.MoveTo(0, B.GetHeight() - 1);
  C.LineTo(B.GetWidth(), 0);
}

struct TWriter {
  TBytes B;
  TWriter& U8(uint32_t V) {
    B.push_back(uint8_t(V));
    return *this;
  }
  TWriter& U16(uint32_t V) { return U8(V).U8(V >> 8); }
  TWriter& U32(uint32_t V) { return U16(V).U16(V >> 16); }
};

TWriter BmpHead(int32_t W, int32_t H, int Bpp, uint32_t Compression, uint32_t Colors,
                uint32_t Extra) {
  TWriter T;
  T.U8('B').U8('M').U32(0).U32(0).U32(14 + 40 + Extra);
  T.U32(40).U32(uint32_t(W)).U32(uint32_t(H)).U16(1).U16(uint32_t(Bpp)).U32(Compression);
  T.U32(0).U32(2835).U32(2835).U32(Colors).U32(0);
  return T;
}

void BmpSeeds(const std::filesystem::path& Dir) {
  for (TPixelFormat F : {pf4bit, pf8bit, pf15bit, pf24bit, pf32bit}) {
    TBitmap B(6, 5, F);
    Paint(B);
    B.SaveToFile((Dir / ("saved" + std::to_string(BitsPerPixel(F)) + ".bmp")).string());
  }
  TWriter T = BmpHead(9, -2, 1, 0, 2, 8); // 1 bit, top-down
  T.U32(0x102030).U32(0xF0E0D0).U32(0x55AA0000).U32(0x00FF8000);
  Save(Dir / "onebit_topdown.bmp", T.B);
  T = BmpHead(3, 2, 16, 3, 0, 12); // 5-6-5 bit fields
  T.U32(0xF800).U32(0x07E0).U32(0x001F);
  T.U16(0xF800).U16(0x07E0).U16(0x001F).U16(0).U16(0xFFFF).U16(0x1234).U16(0x8000).U16(0);
  Save(Dir / "bitfields565.bmp", T.B);
  T = BmpHead(2, 1, 32, 3, 0, 12); // 32-bit fields in another order
  T.U32(0x000000FF).U32(0x0000FF00).U32(0x00FF0000).U32(0x11223344).U32(0x55667788);
  Save(Dir / "bitfields32.bmp", T.B);
  T = BmpHead(6, 3, 8, 1, 3, 12); // RLE8 with every escape
  T.U32(0).U32(0xFF).U32(0xFF00);
  T.U8(4).U8(1).U8(0).U8(0).U8(0).U8(3).U8(2).U8(1).U8(2).U8(0).U8(0).U8(2).U8(1).U8(1);
  T.U8(2).U8(2).U8(0).U8(1);
  Save(Dir / "rle8.bmp", T.B);
  T = BmpHead(7, 2, 4, 2, 2, 8); // RLE4
  T.U32(0xFF0000).U32(0x00FF00);
  T.U8(7).U8(0x01).U8(0).U8(0).U8(0).U8(5).U8(0x10).U8(0x10).U8(0x10).U8(0).U8(0).U8(1);
  Save(Dir / "rle4.bmp", T.B);
  TWriter O; // OS/2 core header, 1 bit with a 3-byte palette
  O.U8('B').U8('M').U32(0).U32(0).U32(14 + 12 + 6);
  O.U32(12).U16(2).U16(1).U16(1).U16(1);
  O.U8(0).U8(0).U8(255).U8(0).U8(255).U8(0);
  O.U8(0x40).U8(0).U8(0).U8(0);
  Save(Dir / "os2core.bmp", O.B);
}

// A PNG written with libpng directly, for the variants our writer does not
// make (alpha, 16 bits, interlace, transparency).
void RawPng(const std::filesystem::path& Name, int W, int H, int Depth, int Type, bool Interlace,
            bool Trns) {
  FILE* F = std::fopen(Name.string().c_str(), "wb");
  if (!F) std::exit(1);
  png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(Png);
  png_init_io(Png, F);
  png_set_IHDR(Png, Info, png_uint_32(W), png_uint_32(H), Depth, Type,
               Interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (Type == PNG_COLOR_TYPE_PALETTE) {
    png_color Plte[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    png_set_PLTE(Png, Info, Plte, std::min(4, 1 << Depth));
  }
  if (Trns) {
    png_byte Alpha[2] = {0, 128};
    png_color_16 Grey{};
    png_set_tRNS(Png, Info, Alpha, Type == PNG_COLOR_TYPE_PALETTE ? 2 : 0,
                 Type == PNG_COLOR_TYPE_PALETTE ? nullptr : &Grey);
  }
  png_write_info(Png, Info);
  const int Channels = Type == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                       : Type == PNG_COLOR_TYPE_RGB        ? 3
                       : Type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                           : 1;
  std::vector<uint8_t> Row(std::size_t(W * Channels * 2 + 8));
  const int Passes = png_set_interlace_handling(Png);
  for (int P = 0; P < Passes; ++P)
    for (int y = 0; y < H; ++y) {
      for (std::size_t i = 0; i < Row.size(); ++i)
        Row[i] = uint8_t(i * 37 + std::size_t(y) * 11);
      png_write_row(Png, Row.data());
    }
  png_write_end(Png, Info);
  png_destroy_write_struct(&Png, &Info);
  std::fclose(F);
}

void PngSeeds(const std::filesystem::path& Dir) {
  for (TPixelFormat F : {pf4bit, pf8bit, pf24bit}) {
    TBitmap B(6, 5, F);
    Paint(B);
    TPNGImage P;
    P.Assign(&B);
    P.SaveToFile((Dir / ("saved" + std::to_string(BitsPerPixel(F)) + ".png")).string());
  }
  RawPng(Dir / "rgba16_interlaced.png", 5, 4, 16, PNG_COLOR_TYPE_RGB_ALPHA, true, false);
  RawPng(Dir / "grey2.png", 9, 3, 2, PNG_COLOR_TYPE_GRAY, false, false);
  RawPng(Dir / "greyalpha.png", 3, 3, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, false);
  RawPng(Dir / "palette1_trns.png", 9, 2, 1, PNG_COLOR_TYPE_PALETTE, false, true);
  RawPng(Dir / "grey_trns.png", 4, 2, 8, PNG_COLOR_TYPE_GRAY, true, true);
}

void CmykJpeg(const std::filesystem::path& Name) {
  jpeg_compress_struct Info;
  jpeg_error_mgr Err;
  Info.err = jpeg_std_error(&Err);
  jpeg_create_compress(&Info);
  unsigned char* Out = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Out, &Size);
  Info.image_width = 8;
  Info.image_height = 8;
  Info.input_components = 4;
  Info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, 50, TRUE);
  jpeg_start_compress(&Info, TRUE);
  std::vector<uint8_t> Row(32);
  while (Info.next_scanline < Info.image_height) {
    for (std::size_t i = 0; i < Row.size(); ++i)
      Row[i] = uint8_t(i * 8 + Info.next_scanline * 20);
    JSAMPROW R = Row.data();
    jpeg_write_scanlines(&Info, &R, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  Save(Name, TBytes(Out, Out + Size));
  std::free(Out);
}

void JpegSeeds(const std::filesystem::path& Dir) {
  TBitmap B(16, 12, pf24bit);
  Paint(B);
  TJPEGImage J;
  J.Assign(&B);
  J.SetCompressionQuality(50);
  J.SaveToFile((Dir / "baseline.jpg").string());
  J.SetProgressiveEncoding(true);
  J.SaveToFile((Dir / "progressive.jpg").string());
  // Greyscale: decode a grey file back through our own reader.
  jpeg_compress_struct Info;
  jpeg_error_mgr Err;
  Info.err = jpeg_std_error(&Err);
  jpeg_create_compress(&Info);
  unsigned char* Out = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Out, &Size);
  Info.image_width = 9;
  Info.image_height = 7;
  Info.input_components = 1;
  Info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&Info);
  jpeg_simple_progression(&Info);
  jpeg_start_compress(&Info, TRUE);
  uint8_t Row[9];
  while (Info.next_scanline < Info.image_height) {
    for (int i = 0; i < 9; ++i)
      Row[i] = uint8_t(i * 25 + int(Info.next_scanline) * 3);
    JSAMPROW R = Row;
    jpeg_write_scanlines(&Info, &R, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  Save(Dir / "grey_progressive.jpg", TBytes(Out, Out + Size));
  std::free(Out);
  CmykJpeg(Dir / "cmyk.jpg");
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_image_seeds <corpus folder>\n");
    return 2;
  }
  const std::filesystem::path Root = argv[1];
  for (const char* Sub : {"bmp", "png", "jpeg"})
    std::filesystem::create_directories(Root / Sub);
  BmpSeeds(Root / "bmp");
  PngSeeds(Root / "png");
  JpegSeeds(Root / "jpeg");
  return 0;
}
