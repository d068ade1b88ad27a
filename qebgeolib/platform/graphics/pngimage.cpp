// PNG reading and writing with libpng. libpng reports errors by longjmp, so
// the code between setjmp and the library calls keeps no objects with
// destructors, and the stream callbacks never let a C++ exception pass
// through libpng's C frames: they store it and call png_error instead.
#include "qebgeolib/platform/graphics/pngimage.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

namespace qeb {

namespace {

// Ancillary chunks (text, profiles) may not make libpng allocate more.
constexpr png_alloc_size_t MaxChunkBytes = 8u << 20;

struct TPngContext {
  TStream* Stream = nullptr;
  std::exception_ptr Pending; // a stream exception, rethrown after cleanup
  char Fault[256] = {};
  TGraphic* Owner = nullptr;
  std::function<void(TProgressStage, uint8_t)> Progress;
};

void PngError(png_structp Png, png_const_charp Msg) {
  auto* C = static_cast<TPngContext*>(png_get_error_ptr(Png));
  std::snprintf(C->Fault, sizeof C->Fault, "%s", Msg);
  png_longjmp(Png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* C = static_cast<TPngContext*>(png_get_io_ptr(Png));
  int64_t Got = 0;
  try {
    Got = C->Stream->Read(Data, int64_t(Length));
  } catch (...) {
    C->Pending = std::current_exception();
  }
  if (C->Pending) png_error(Png, "read error");
  if (Got != int64_t(Length)) png_error(Png, "unexpected end of data");
}

void PngWrite(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* C = static_cast<TPngContext*>(png_get_io_ptr(Png));
  try {
    C->Stream->WriteBuffer(Data, int64_t(Length));
  } catch (...) {
    C->Pending = std::current_exception();
  }
  if (C->Pending) png_error(Png, "write error");
}

void PngFlush(png_structp) {}

// How a PNG's pixels land in a bitmap.
enum TPngLayout { plPalette4, plPalette8, plGrey8, plBgr, plBgra };

// Decodes into Out; false with C.Fault set on a libpng error. Out's size
// and format are set here; a C++ exception from Out (memory) or from the
// progress handler passes on after libpng's state is freed.
bool DecodePng(TPngContext& C, TBitmap& Out) {
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &C, PngError, PngWarning);
  if (!Png) {
    std::snprintf(C.Fault, sizeof C.Fault, "out of memory");
    return false;
  }
  png_infop Info = png_create_info_struct(Png);
  if (!Info || setjmp(png_jmpbuf(Png))) {
    png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
    return false;
  }
  png_set_read_fn(Png, &C, PngRead);
  png_set_chunk_malloc_max(Png, MaxChunkBytes);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Fuzzing builds take damaged checksums, so mutated data reaches the
  // decoder instead of stopping at the first CRC.
  png_set_crc_action(Png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  png_set_option(Png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(Png, Info);

  const png_uint_32 W = png_get_image_width(Png, Info), H = png_get_image_height(Png, Info);
  const int Depth = png_get_bit_depth(Png, Info), Type = png_get_color_type(Png, Info);
  const int StoredBits = Depth * png_get_channels(Png, Info); // a pixel, as stored
  const bool Transparent = png_get_valid(Png, Info, PNG_INFO_tRNS) != 0;
  png_colorp Plte = nullptr;
  int PlteCount = 0;
  if (Type == PNG_COLOR_TYPE_PALETTE) png_get_PLTE(Png, Info, &Plte, &PlteCount);

  TPngLayout Layout;
  if (Type == PNG_COLOR_TYPE_PALETTE && !Transparent) {
    Layout = (Depth == 4 && PlteCount <= 16) ? plPalette4 : plPalette8;
    if (Layout == plPalette8 && Depth < 8) png_set_packing(Png);
  } else if (Type == PNG_COLOR_TYPE_GRAY && !Transparent) {
    Layout = plGrey8;
    if (Depth < 8) png_set_expand_gray_1_2_4_to_8(Png);
  } else {
    Layout = ((Type & PNG_COLOR_MASK_ALPHA) || Transparent) ? plBgra : plBgr;
    png_set_expand(Png);
    if (Type == PNG_COLOR_TYPE_GRAY || Type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(Png);
    png_set_bgr(Png);
  }
  if (Depth == 16) png_set_strip_16(Png);
  const int Passes = png_set_interlace_handling(Png);
  png_read_update_info(Png, Info);

  const TPixelFormat Format = Layout == plPalette4 ? pf4bit
                              : Layout == plBgr    ? pf24bit
                              : Layout == plBgra   ? pf32bit
                                                   : pf8bit;
  if (W == 0 || H == 0 || W > uint32_t(INT32_MAX) || H > uint32_t(INT32_MAX) ||
      ScanLineBytes(int32_t(W), Format) > MaxBitmapBytes / int64_t(H)) {
    std::snprintf(C.Fault, sizeof C.Fault, "image of %u x %u pixels exceeds %lld bytes", W, H,
                  static_cast<long long>(MaxBitmapBytes));
    png_destroy_read_struct(&Png, &Info, nullptr);
    return false;
  }
  // Deflate expands data at most 1032-fold, so input that ends before it could
  // hold the stored pixels (filter bytes not even counted) is refused before
  // the image is allocated: a hundred bytes may otherwise claim 60 megapixels
  // and cost a full-size allocation and decode before failing anyway.
  const int64_t StoredBytes = int64_t(H) * ((int64_t(W) * StoredBits + 7) / 8);
  int64_t Left = INT64_MAX / 1032; // unknown: no check
  try {
    Left = C.Stream->GetSize() - C.Stream->GetPosition();
  } catch (...) { // the stream's own error surfaces when libpng reads on
  }
  if (Left * 1032 < StoredBytes) {
    std::snprintf(C.Fault, sizeof C.Fault, "data too short for %u x %u pixels", W, H);
    png_destroy_read_struct(&Png, &Info, nullptr);
    return false;
  }
  try {
    Out.NewImage(int32_t(W), int32_t(H), Format, Passes > 1);
    if (Layout == plPalette4 || Layout == plPalette8) {
      std::vector<TColor> Pal;
      for (int i = 0; i < PlteCount; ++i)
        Pal.push_back(RGB(Plte[i].red, Plte[i].green, Plte[i].blue));
      if (Pal.empty()) Pal.push_back(clBlack);
      Out.SetPalette(Pal);
    } else if (Layout == plGrey8) {
      std::vector<TColor> Pal(256);
      for (int i = 0; i < 256; ++i)
        Pal[std::size_t(i)] = RGB(uint8_t(i), uint8_t(i), uint8_t(i));
      Out.SetPalette(Pal);
    }
    if (C.Progress) C.Progress(psStarting, 0);
  } catch (...) {
    png_destroy_read_struct(&Png, &Info, nullptr);
    throw;
  }
  if (png_get_rowbytes(Png, Info) > png_size_t(Out.GetScanLineSize())) {
    std::snprintf(C.Fault, sizeof C.Fault, "unexpected row size");
    png_destroy_read_struct(&Png, &Info, nullptr);
    return false;
  }

  int Percent = 0;
  const int64_t Total = int64_t(Passes) * int64_t(H);
  for (int Pass = 0; Pass < Passes; ++Pass)
    for (png_uint_32 y = 0; y < H; ++y) {
      png_read_row(Png, Out.GetBits() + int64_t(y) * Out.GetScanLineSize(), nullptr);
      const int P = int((int64_t(Pass) * H + y + 1) * 100 / Total);
      if (P != Percent && C.Progress) {
        Percent = P;
        try {
          C.Progress(psRunning, uint8_t(P));
        } catch (...) {
          png_destroy_read_struct(&Png, &Info, nullptr);
          throw;
        }
      }
    }
  png_read_end(Png, nullptr);
  png_destroy_read_struct(&Png, &Info, nullptr);

  if (Layout == plBgra) { // lay the image over white
    for (png_uint_32 y = 0; y < H; ++y) {
      uint8_t* P = Out.GetBits() + int64_t(y) * Out.GetScanLineSize();
      for (png_uint_32 x = 0; x < W; ++x, P += 4) {
        const unsigned A = P[3];
        for (int k = 0; k < 3; ++k)
          P[k] = uint8_t((P[k] * A + 255 * (255 - A) + 127) / 255);
        P[3] = 0;
      }
    }
  }
  return true;
}

bool EncodePng(TPngContext& C, TBitmap& Img, int Level) {
  png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &C, PngError, PngWarning);
  if (!Png) {
    std::snprintf(C.Fault, sizeof C.Fault, "out of memory");
    return false;
  }
  png_infop Info = png_create_info_struct(Png);
  int MaxIndex = 0;
  if (Img.GetPixelFormat() == pf4bit || Img.GetPixelFormat() == pf8bit)
    for (int32_t y = 0; y < Img.GetHeight(); ++y)
      for (int32_t x = 0; x < Img.GetWidth(); ++x)
        MaxIndex = std::max(MaxIndex, int(detail::GetPixelValue(Img, x, y)));
  std::vector<uint8_t> Row(std::size_t(Img.GetWidth()) * 3 + 16);
  std::vector<uint32_t> Work(std::size_t(Img.GetWidth()) + 1);
  if (!Info || setjmp(png_jmpbuf(Png))) {
    png_destroy_write_struct(&Png, Info ? &Info : nullptr);
    return false;
  }
  png_set_write_fn(Png, &C, PngWrite, PngFlush);
  png_set_compression_level(Png, Level);
  const TPixelFormat F = Img.GetPixelFormat();
  const auto W = png_uint_32(Img.GetWidth()), H = png_uint_32(Img.GetHeight());
  if (F == pf4bit || F == pf8bit) {
    png_set_IHDR(Png, Info, W, H, F == pf4bit ? 4 : 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Indexes beyond the palette read as black; PNG forbids them, so the
    // palette written grows with black entries up to the highest index used.
    png_color Plte[256] = {};
    const auto& Pal = Img.GetPalette();
    for (std::size_t i = 0; i < Pal.size(); ++i)
      Plte[i] = png_color{GetRValue(Pal[i]), GetGValue(Pal[i]), GetBValue(Pal[i])};
    png_set_PLTE(Png, Info, Plte, std::max(int(Pal.size()), MaxIndex + 1));
  } else {
    png_set_IHDR(Png, Info, W, H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  }
  png_write_info(Png, Info);
  if (F != pf4bit && F != pf8bit) png_set_bgr(Png);
  if (F == pf32bit) png_set_filler(Png, 0, PNG_FILLER_AFTER);
  for (png_uint_32 y = 0; y < H; ++y) {
    const uint8_t* S = Img.GetBits() + int64_t(y) * Img.GetScanLineSize();
    if (F == pf15bit) {
      detail::DecodeRow(Img, int32_t(y), 0, int32_t(W), Work.data());
      for (png_uint_32 x = 0; x < W; ++x)
        detail::Store24(Row.data() + 3 * std::size_t(x), Work[x]);
      S = Row.data();
    } else if (F == pf4bit && (W & 1)) { // the unused half byte goes out as zero
      std::memcpy(Row.data(), S, (W + 1) / 2);
      Row[(W - 1) / 2] &= 0xF0;
      S = Row.data();
    }
    png_write_row(Png, S);
  }
  png_write_end(Png, nullptr);
  png_destroy_write_struct(&Png, &Info);
  return true;
}

} // namespace

TPNGImage::TPNGImage() : FBitmap(std::make_unique<TBitmap>()) {}

TPNGImage::~TPNGImage() = default;

void TPNGImage::Assign(const TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    FBitmap->Assign(nullptr);
  } else if (const auto* P = dynamic_cast<const TPNGImage*>(Source)) {
    FBitmap->Assign(P->FBitmap.get());
    FLevel = P->FLevel;
  } else if (const auto* B = dynamic_cast<const TBitmap*>(Source)) {
    FBitmap->Assign(B);
  } else {
    TPersistent::Assign(Source);
  }
}

void TPNGImage::AssignTo(TPersistent* Dest) const {
  if (auto* B = dynamic_cast<TBitmap*>(Dest))
    B->Assign(FBitmap.get());
  else
    TPersistent::AssignTo(Dest);
}

void TPNGImage::SetCompressionLevel(int32_t Value) {
  FLevel = std::clamp(Value, 0, 9);
}

void TPNGImage::ReadStream(TStream& Stream, const std::string& FileName) {
  TPngContext C;
  C.Stream = &Stream;
  C.Progress = [this](TProgressStage S, uint8_t P) { Progress(S, P); };
  TBitmap New;
  const bool Ok = DecodePng(C, New);
  if (C.Pending) {
    try {
      std::rethrow_exception(C.Pending);
    } catch (const EReadError&) {
      throw EInvalidGraphic(ImageErrorText("PNG", FileName, "unexpected end of data"));
    }
  }
  if (!Ok) throw EInvalidGraphic(ImageErrorText("PNG", FileName, C.Fault));
  FBitmap->SwapImage(New);
  Progress(psEnding, 100);
}

void TPNGImage::SaveToStream(TStream& Stream) {
  if (Empty()) throw EInvalidGraphicOperation("Cannot save an empty image");
  TPngContext C;
  C.Stream = &Stream;
  Progress(psStarting, 0);
  const bool Ok = EncodePng(C, *FBitmap, FLevel);
  if (C.Pending) std::rethrow_exception(C.Pending);
  if (!Ok) throw EInvalidGraphicOperation(std::string("Cannot write PNG image: ") + C.Fault);
  Progress(psEnding, 100);
}

} // namespace qeb
