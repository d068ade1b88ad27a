// JPEG decoding and encoding with libjpeg-turbo's libjpeg API. libjpeg
// reports errors through error_exit, which here longjmps back to the
// function that called setjmp; those functions keep no objects with
// destructors past the setjmp, and the progress callback, which runs user
// code, catches everything and stores it to rethrow after the cleanup.
#include "qebgeolib/platform/graphics/jpegimage.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

namespace qeb {

namespace {

// Progressive files with this many scans or more are refused: each scan
// makes the decoder walk the whole image again, so a small file with
// thousands of scans would take minutes.
constexpr int MaxScans = 1000;
// Memory libjpeg may use for its own buffers (the coefficient store of a
// progressive image is about two bytes a sample).
constexpr long MaxDecoderMemory = 640L << 20;

struct TJpegError {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

struct TJpegProgress {
  jpeg_progress_mgr Pub;
  const std::function<void(TProgressStage, uint8_t)>* Report;
  std::exception_ptr* Pending;
  int Percent;
  bool TooManyScans;
};

[[noreturn]] void ErrorExit(j_common_ptr Info) {
  auto* E = reinterpret_cast<TJpegError*>(Info->err);
  if (E->Message[0] == 0) (*Info->err->format_message)(Info, E->Message);
  std::longjmp(E->Jump, 1);
}

void OutputMessage(j_common_ptr) {}

// Warnings are ignored except a premature end of the data, which would
// otherwise be filled up with grey.
void EmitMessage(j_common_ptr Info, int Level) {
  if (Level < 0 && Info->err->msg_code == JWRN_JPEG_EOF) {
    std::snprintf(reinterpret_cast<TJpegError*>(Info->err)->Message, JMSG_LENGTH_MAX,
                  "unexpected end of data");
    ErrorExit(Info);
  }
}

void ProgressMonitor(j_common_ptr Info) {
  auto* P = reinterpret_cast<TJpegProgress*>(Info->progress);
  if (Info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number >= MaxScans) {
    auto* E = reinterpret_cast<TJpegError*>(Info->err);
    std::snprintf(E->Message, JMSG_LENGTH_MAX, "more than %d scans", MaxScans - 1);
    ErrorExit(Info);
  }
  const jpeg_progress_mgr& M = P->Pub;
  if (M.total_passes <= 0 || M.pass_limit <= 0 || !*P->Report) return;
  const double Done =
      (M.completed_passes + double(M.pass_counter) / double(M.pass_limit)) / double(M.total_passes);
  const int Percent = std::clamp(int(Done * 100), 0, 100);
  if (Percent == P->Percent) return;
  P->Percent = Percent;
  try {
    (*P->Report)(psRunning, uint8_t(Percent));
  } catch (...) {
    *P->Pending = std::current_exception();
    auto* E = reinterpret_cast<TJpegError*>(Info->err);
    std::snprintf(E->Message, JMSG_LENGTH_MAX, "stopped by the progress handler");
    ErrorExit(Info);
  }
}

void SetupError(TJpegError& E) {
  jpeg_std_error(&E.Pub);
  E.Pub.error_exit = ErrorExit;
  E.Pub.output_message = OutputMessage;
  E.Pub.emit_message = EmitMessage;
  E.Message[0] = 0;
}

struct THeaderInfo {
  int32_t Width, Height;
  bool Gray;
};

// Reads the header only; false with E.Message set on a fault.
bool ReadJpegHeader(const uint8_t* Data, std::size_t Size, THeaderInfo& H, TJpegError& E) {
  jpeg_decompress_struct Info;
  Info.err = &E.Pub;
  SetupError(E);
  if (setjmp(E.Jump)) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  jpeg_create_decompress(&Info);
  jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(&Info, TRUE);
  H.Width = int32_t(Info.image_width);
  H.Height = int32_t(Info.image_height);
  H.Gray = Info.num_components == 1;
  const bool Known = Info.num_components == 1 || Info.num_components == 3 ||
                     Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
  jpeg_destroy_decompress(&Info);
  if (!Known) {
    std::snprintf(E.Message, JMSG_LENGTH_MAX, "unsupported colour space");
    return false;
  }
  if (H.Width <= 0 || H.Height <= 0 ||
      ScanLineBytes(H.Width, H.Gray ? pf8bit : pf24bit) > MaxBitmapBytes / H.Height) {
    std::snprintf(E.Message, JMSG_LENGTH_MAX, "image of %d x %d pixels exceeds %lld bytes",
                  int(H.Width), int(H.Height), static_cast<long long>(MaxBitmapBytes));
    return false;
  }
  return true;
}

// Decodes into Out (already sized by the caller from the header).
bool DecodeJpeg(const uint8_t* Data, std::size_t Size, TBitmap& Out, TJpegError& E,
                TJpegProgress& P) {
  jpeg_decompress_struct Info;
  Info.err = &E.Pub;
  SetupError(E);
  // Rows of CMYK data before conversion; allocated by libjpeg's pool.
  JSAMPARRAY Cmyk = nullptr;
  if (setjmp(E.Jump)) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  jpeg_create_decompress(&Info);
  Info.mem->max_memory_to_use = MaxDecoderMemory;
  P.Pub.progress_monitor = ProgressMonitor;
  Info.progress = &P.Pub;
  jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(&Info, TRUE);
  const bool FourChannel = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
  Info.out_color_space = Info.num_components == 1 ? JCS_GRAYSCALE
                         : FourChannel            ? JCS_CMYK
                                                  : JCS_EXT_BGR;
  jpeg_start_decompress(&Info);
  if (int32_t(Info.output_width) != Out.GetWidth() ||
      int32_t(Info.output_height) != Out.GetHeight()) {
    std::snprintf(E.Message, JMSG_LENGTH_MAX, "header changed while decoding");
    ErrorExit(reinterpret_cast<j_common_ptr>(&Info));
  }
  if (FourChannel)
    Cmyk = (*Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&Info), JPOOL_IMAGE,
                                     Info.output_width * 4, 1);
  uint8_t* Bits = Out.GetBits();
  const int64_t Stride = Out.GetScanLineSize();
  while (Info.output_scanline < Info.output_height) {
    const JDIMENSION Y = Info.output_scanline;
    if (FourChannel) {
      jpeg_read_scanlines(&Info, Cmyk, 1);
      // Adobe writes CMYK inverted: each byte is 255 - ink, so
      // channel = c * k / 255.
      uint8_t* D = Bits + int64_t(Y) * Stride;
      const uint8_t* S = Cmyk[0];
      for (JDIMENSION x = 0; x < Info.output_width; ++x, S += 4, D += 3) {
        D[0] = uint8_t((S[2] * S[3] + 127) / 255);
        D[1] = uint8_t((S[1] * S[3] + 127) / 255);
        D[2] = uint8_t((S[0] * S[3] + 127) / 255);
      }
    } else {
      JSAMPROW Rows[16];
      const JDIMENSION N = std::min<JDIMENSION>(16, Info.output_height - Y);
      for (JDIMENSION k = 0; k < N; ++k)
        Rows[k] = Bits + int64_t(Y + k) * Stride;
      jpeg_read_scanlines(&Info, Rows, N);
    }
  }
  jpeg_finish_decompress(&Info);
  jpeg_destroy_decompress(&Info);
  return true;
}

// Compresses Img into a malloc'ed buffer (Out, OutSize).
bool EncodeJpeg(const TBitmap& Img, int Quality, bool Progressive, uint8_t*& Out,
                unsigned long& OutSize, uint8_t* RowBuf, TJpegError& E, TJpegProgress& P) {
  jpeg_compress_struct Info;
  Info.err = &E.Pub;
  SetupError(E);
  if (setjmp(E.Jump)) {
    jpeg_destroy_compress(&Info);
    return false;
  }
  jpeg_create_compress(&Info);
  P.Pub.progress_monitor = ProgressMonitor;
  Info.progress = &P.Pub;
  jpeg_mem_dest(&Info, &Out, &OutSize);
  Info.image_width = JDIMENSION(Img.GetWidth());
  Info.image_height = JDIMENSION(Img.GetHeight());
  const TPixelFormat F = Img.GetPixelFormat();
  Info.input_components = F == pf32bit ? 4 : 3;
  Info.in_color_space = F == pf32bit ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, Quality, TRUE);
  if (Progressive) jpeg_simple_progression(&Info);
  jpeg_start_compress(&Info, TRUE);
  while (Info.next_scanline < Info.image_height) {
    const int32_t Y = int32_t(Info.next_scanline);
    JSAMPROW Row;
    if (F == pf24bit || F == pf32bit) {
      Row = const_cast<uint8_t*>(Img.GetBits()) + int64_t(Y) * Img.GetScanLineSize();
    } else {
      // Other formats through working pixels; RowBuf holds the width as
      // uint32_t followed by room for the 24-bit row.
      auto* Work = reinterpret_cast<uint32_t*>(RowBuf);
      uint8_t* Bgr = RowBuf + 4 * std::size_t(Img.GetWidth());
      detail::DecodeRow(Img, Y, 0, Img.GetWidth(), Work);
      for (int32_t x = 0; x < Img.GetWidth(); ++x)
        detail::Store24(Bgr + 3 * std::size_t(x), Work[x]);
      Row = Bgr;
    }
    jpeg_write_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  return true;
}

} // namespace

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::Assign(const TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    FData.clear();
    FImage.reset();
    FWidth = FHeight = 0;
    FGrayscale = false;
  } else if (const auto* J = dynamic_cast<const TJPEGImage*>(Source)) {
    FData = J->FData;
    if (J->FImage) {
      FImage = std::make_unique<TBitmap>();
      FImage->Assign(J->FImage.get());
    } else {
      FImage.reset();
    }
    FFileName = J->FFileName;
    FWidth = J->FWidth;
    FHeight = J->FHeight;
    FGrayscale = J->FGrayscale;
    FQuality = J->FQuality;
    FProgressive = J->FProgressive;
  } else if (const auto* B = dynamic_cast<const TBitmap*>(Source)) {
    auto Copy = std::make_unique<TBitmap>();
    Copy->Assign(B);
    FImage = std::move(Copy);
    FData.clear();
    FFileName.clear();
    FWidth = B->GetWidth();
    FHeight = B->GetHeight();
    FGrayscale = false;
  } else {
    TPersistent::Assign(Source);
  }
}

void TJPEGImage::AssignTo(TPersistent* Dest) const {
  auto* B = dynamic_cast<TBitmap*>(Dest);
  if (!B) {
    TPersistent::AssignTo(Dest);
  } else if (FImage) {
    B->Assign(FImage.get());
  } else if (FData.empty()) {
    B->Assign(nullptr);
  } else {
    Decode(*B);
  }
}

void TJPEGImage::SetCompressionQuality(int32_t Value) {
  FQuality = std::clamp(Value, 1, 100);
}

void TJPEGImage::ReadStream(TStream& Stream, const std::string& FileName) {
  const int64_t Size = Stream.GetSize() - Stream.GetPosition();
  std::vector<uint8_t> Data(std::size_t(std::max<int64_t>(Size, 0)));
  if (!Data.empty()) Stream.ReadBuffer(Data.data(), int64_t(Data.size()));
  THeaderInfo H{};
  TJpegError E;
  if (Data.empty() || !ReadJpegHeader(Data.data(), Data.size(), H, E))
    throw EInvalidGraphic(ImageErrorText("JPEG", FileName, Data.empty() ? "no data" : E.Message));
  FData = std::move(Data);
  FImage.reset();
  FFileName = FileName;
  FWidth = H.Width;
  FHeight = H.Height;
  FGrayscale = H.Gray;
}

void TJPEGImage::Decode(TBitmap& Dest) const {
  TBitmap New;
  New.NewImage(FWidth, FHeight, FGrayscale ? pf8bit : pf24bit, false);
  if (FGrayscale) {
    std::vector<TColor> Grey(256);
    for (int i = 0; i < 256; ++i)
      Grey[std::size_t(i)] = RGB(uint8_t(i), uint8_t(i), uint8_t(i));
    New.SetPalette(Grey);
  }
  const std::function<void(TProgressStage, uint8_t)> Report =
      GetOnProgress() ? std::function<void(TProgressStage, uint8_t)>(
                            [this](TProgressStage S, uint8_t P) { Progress(S, P); })
                      : nullptr;
  std::exception_ptr Pending;
  TJpegProgress P{};
  P.Report = &Report;
  P.Pending = &Pending;
  P.Percent = -1;
  TJpegError E;
  Progress(psStarting, 0);
  const bool Ok = DecodeJpeg(FData.data(), FData.size(), New, E, P);
  if (Pending) std::rethrow_exception(Pending);
  if (!Ok) throw EInvalidGraphic(ImageErrorText("JPEG", FFileName, E.Message));
  Dest.SwapImage(New);
  Progress(psEnding, 100);
}

// The bitmap stays: assigning the image to a bitmap keeps giving the exact
// pixels, and a later quality change compresses again on saving.
void TJPEGImage::Compress() {
  if (!FImage) return;
  if (FImage->Empty()) throw EInvalidGraphicOperation("Cannot save an empty image");
  const std::function<void(TProgressStage, uint8_t)> Report =
      GetOnProgress() ? std::function<void(TProgressStage, uint8_t)>(
                            [this](TProgressStage S, uint8_t P) { Progress(S, P); })
                      : nullptr;
  std::exception_ptr Pending;
  TJpegProgress P{};
  P.Report = &Report;
  P.Pending = &Pending;
  P.Percent = -1;
  TJpegError E;
  std::vector<uint8_t> RowBuf(std::size_t(FImage->GetWidth()) * 7 + 16);
  uint8_t* Out = nullptr;
  unsigned long OutSize = 0;
  Progress(psStarting, 0);
  const bool Ok = EncodeJpeg(*FImage, FQuality, FProgressive, Out, OutSize, RowBuf.data(), E, P);
  std::vector<uint8_t> Data;
  if (Ok && Out) Data.assign(Out, Out + OutSize);
  std::free(Out);
  if (Pending) std::rethrow_exception(Pending);
  if (!Ok) throw EInvalidGraphicOperation(std::string("Cannot write JPEG image: ") + E.Message);
  FData = std::move(Data);
  FGrayscale = false;
  Progress(psEnding, 100);
}

void TJPEGImage::SaveToStream(TStream& Stream) {
  if (FImage) Compress();
  if (FData.empty()) throw EInvalidGraphicOperation("Cannot save an empty image");
  Stream.WriteBuffer(FData.data(), int64_t(FData.size()));
}

} // namespace qeb
