// Bitmaps that keep their pixels in a real pixel format (4-bit and 8-bit
// palette, 15-bit 5-5-5, 24-bit, 32-bit), with conversion between formats,
// BMP files, a canvas and direct access to the pixel rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qebgeolib/platform/graphics/graphics.h"

namespace qeb {

class TCanvas;

// Storage of one pixel, rows top-down, each row padded to 4 bytes:
//   pf4bit   two palette indexes a byte, the left pixel in the high nibble
//   pf8bit   one palette index a byte
//   pf15bit  one little-endian 16-bit word 0RRRRRGGGGGBBBBB
//   pf24bit  three bytes blue, green, red
//   pf32bit  four bytes blue, green, red and a reserved byte (written 0;
//            there is no alpha)
// Palette formats start with a default palette: the 16 classic VGA colours
// for pf4bit; for pf8bit those 16, a 6x6x6 colour cube and 24 greys.
enum TPixelFormat : uint8_t { pf4bit, pf8bit, pf15bit, pf24bit, pf32bit };

int32_t BitsPerPixel(TPixelFormat Format);
// Bytes of one row of Width pixels, padded to 4.
int64_t ScanLineBytes(int32_t Width, TPixelFormat Format);
// The default palette of a palette format (16 or 256 entries; empty for the
// others).
const std::vector<TColor>& DefaultPalette(TPixelFormat Format);

// A new bitmap is 0 x 0, pf24bit. Every pixel a bitmap gains (new bitmap,
// larger size) is white. Sizes are limited to MaxBitmapBytes of pixels.
// Bitmaps are not copied implicitly; Assign copies the image.
class TBitmap : public TGraphic {
public:
  TBitmap();
  TBitmap(int32_t Width, int32_t Height, TPixelFormat Format = pf24bit);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  std::string_view ClassName() const override { return "TBitmap"; }

  // From another TBitmap (size, format, palette, pixels), from a TJPEGImage
  // or TPNGImage (decoded), or from null (the bitmap becomes empty). The
  // progress event and the canvas settings stay.
  void Assign(const TPersistent* Source) override;

  int32_t GetWidth() const override { return FWidth; }
  int32_t GetHeight() const override { return FHeight; }
  // The pixels of the old size that still fit keep their place; new pixels
  // are white. A negative size raises EInvalidGraphicOperation, one above
  // MaxBitmapBytes EOutOfResources; the bitmap is then unchanged.
  void SetWidth(int32_t Value) { SetSize(Value, FHeight); }
  void SetHeight(int32_t Value) { SetSize(FWidth, Value); }
  void SetSize(int32_t Width, int32_t Height);

  // Changing the format converts every pixel. Into a palette format each
  // colour takes the nearest palette entry (no dithering); into pf15bit each
  // channel keeps its upper five bits; out of pf15bit a channel v becomes
  // v << 3 | v >> 2, so black and white survive a round trip.
  TPixelFormat GetPixelFormat() const { return FFormat; }
  void SetPixelFormat(TPixelFormat Value);

  // Replaces the image by one of the given size and format with the default
  // palette. White false leaves the pixels undefined: for code that writes
  // every pixel itself (decoders), which saves filling the buffer twice.
  void NewImage(int32_t Width, int32_t Height, TPixelFormat Format, bool White = true);
  // Exchanges size, format, palette and pixels with Other (not the canvas
  // or the progress event).
  void SwapImage(TBitmap& Other) noexcept;

  TCanvas& GetCanvas() { return *FCanvas; }

  // The palette of pf4bit (up to 16 entries) and pf8bit (up to 256); empty
  // for the other formats. SetPalette raises EInvalidGraphicOperation for
  // a non-palette format, an empty list or too many entries; pixels keep
  // their indexes, and indexes beyond the palette read as black.
  const std::vector<TColor>& GetPalette() const { return FPalette; }
  void SetPalette(const std::vector<TColor>& Palette);

  // Direct access to the pixels: row Row (0 = top), GetScanLineSize() bytes
  // apart. A row out of range raises EInvalidGraphicOperation
  // "Scan line index out of range".
  uint8_t* ScanLine(int32_t Row);
  const uint8_t* ScanLine(int32_t Row) const;
  int32_t GetScanLineSize() const { return FStride; }
  // Row 0 without a range check (never null); fast code walks rows by
  // adding GetScanLineSize(). The padding at the end of a row is not part of
  // the image and may hold anything.
  uint8_t* GetBits() { return FBits.get(); }
  const uint8_t* GetBits() const { return FBits.get(); }

  // The stored value of a colour in this bitmap's format (the nearest
  // palette index for palette formats) and back.
  uint32_t ColorToPixel(TColor Color) const;
  TColor PixelToColor(uint32_t Pixel) const;

  // BMP in the bitmap's own format: 4, 8, 15 (16-bit 5-5-5), 24 or 32 bits.
  // Loading accepts 1, 4, 8, 16, 24 and 32 bits, BI_RGB and BI_BITFIELDS,
  // RLE4 and RLE8, bottom-up and top-down, and picks the nearest format:
  // 1- and 4-bit files load as pf4bit, 8-bit as pf8bit, 16-bit 5-5-5 as
  // pf15bit, other 16-bit masks as pf24bit, 24-bit as pf24bit and 32-bit as
  // pf32bit. OnProgress reports both.
  void SaveToStream(TStream& Stream) override;

protected:
  void ReadStream(TStream& Stream, const std::string& FileName) override;

private:
  // How a new buffer starts: white pixels, undefined, or all bytes zero.
  enum TFill : uint8_t { fillWhite, fillNone, fillZero };
  void Allocate(int32_t Width, int32_t Height, TPixelFormat Format, TFill Fill);
  struct TFree {
    void operator()(uint8_t* P) const noexcept;
  };

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FStride = 0;
  TPixelFormat FFormat = pf24bit;
  std::unique_ptr<uint8_t[], TFree> FBits; // malloc'ed
  std::vector<TColor> FPalette;
  std::unique_ptr<TCanvas> FCanvas;
};

} // namespace qeb
