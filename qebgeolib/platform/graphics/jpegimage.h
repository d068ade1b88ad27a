// JPEG images through libjpeg-turbo: load and save with a quality setting,
// assignment to and from bitmaps, and progress reported by the decoder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb {

// Holds either the compressed file (after loading) or a bitmap (after
// assignment from one). Loading reads the file and checks its header;
// pixels are decoded when the image is assigned to a bitmap, straight into
// that bitmap's rows, with OnProgress following the decoder. Colour files
// decode as pf24bit, greyscale ones as pf8bit with a grey palette; CMYK
// files are converted to RGB. A bitmap assigned to the image is compressed
// when the image is saved, with CompressionQuality and
// ProgressiveEncoding; a loaded file is saved unchanged.
class TJPEGImage : public TGraphic {
public:
  TJPEGImage();
  ~TJPEGImage() override;
  TJPEGImage(const TJPEGImage&) = delete;
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  std::string_view ClassName() const override { return "TJPEGImage"; }

  // From a TBitmap (copied), a TJPEGImage (copied) or null (empty).
  void Assign(const TPersistent* Source) override;
  // To a TBitmap: decodes. A decoding error raises EInvalidGraphic and
  // leaves the bitmap as it was.
  void AssignTo(TPersistent* Dest) const override;

  int32_t GetWidth() const override { return FWidth; }
  int32_t GetHeight() const override { return FHeight; }
  bool GetGrayscale() const { return FGrayscale; }

  // 1 (smallest) .. 100 (best); other values are clamped. Default 90.
  int32_t GetCompressionQuality() const { return FQuality; }
  void SetCompressionQuality(int32_t Value);
  bool GetProgressiveEncoding() const { return FProgressive; }
  void SetProgressiveEncoding(bool Value) { FProgressive = Value; }

  // Compresses an assigned bitmap now (saving does it when needed).
  void Compress();
  // An empty image raises EInvalidGraphicOperation.
  void SaveToStream(TStream& Stream) override;

protected:
  void ReadStream(TStream& Stream, const std::string& FileName) override;

private:
  void Decode(TBitmap& Dest) const;

  std::vector<uint8_t> FData;      // the compressed file, when there is one
  std::unique_ptr<TBitmap> FImage; // an assigned bitmap not yet compressed
  std::string FFileName;           // for error messages
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  bool FGrayscale = false;
  int32_t FQuality = 90;
  bool FProgressive = false;
};

} // namespace qeb
