// PNG images through libpng: load and save, and assignment to and from
// bitmaps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb {

// The image is held as a bitmap. Loading picks the format from the file:
// palette images of 4 bits load as pf4bit, of 1, 2 or 8 bits as pf8bit, grey
// images as pf8bit with a grey palette, everything else as pf24bit; images
// with transparency (an alpha channel or a transparent palette entry) are
// laid over white and load as pf32bit. Saving writes palette formats as
// palette images and the others as 8-bit RGB.
class TPNGImage : public TGraphic {
public:
  TPNGImage();
  ~TPNGImage() override;
  TPNGImage(const TPNGImage&) = delete;
  TPNGImage& operator=(const TPNGImage&) = delete;

  std::string_view ClassName() const override { return "TPNGImage"; }

  // From a TBitmap or a TPNGImage (copied), or null (empty).
  void Assign(const TPersistent* Source) override;
  // To a TBitmap (copied).
  void AssignTo(TPersistent* Dest) const override;

  int32_t GetWidth() const override { return FBitmap->GetWidth(); }
  int32_t GetHeight() const override { return FBitmap->GetHeight(); }
  TBitmap& GetBitmap() { return *FBitmap; }

  // zlib level 0 (none) .. 9 (smallest); other values are clamped.
  int32_t GetCompressionLevel() const { return FLevel; }
  void SetCompressionLevel(int32_t Value);

  // An empty image raises EInvalidGraphicOperation.
  void SaveToStream(TStream& Stream) override;

protected:
  void ReadStream(TStream& Stream, const std::string& FileName) override;

private:
  std::unique_ptr<TBitmap> FBitmap;
  int32_t FLevel = 6;
};

} // namespace qeb
