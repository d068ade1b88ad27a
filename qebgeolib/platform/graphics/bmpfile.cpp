// BMP files: reading every common variant and writing the bitmap's own
// format. Headers are parsed field by field at their byte offsets (all
// little-endian), never by overlaying structs on the bytes.
#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <vector>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

namespace qeb {

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;
constexpr int FileHeaderSize = 14;

uint16_t Get16(const uint8_t* P) {
  return uint16_t(P[0] | P[1] << 8);
}
uint32_t Get32(const uint8_t* P) {
  return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}
void Put16(uint8_t* P, uint32_t V) {
  P[0] = uint8_t(V);
  P[1] = uint8_t(V >> 8);
}
void Put32(uint8_t* P, uint32_t V) {
  Put16(P, V);
  Put16(P + 2, V >> 16);
}

struct TBadBmp {
  std::string Fault;
};

// Reads from a stream through a buffer, with the stream's remaining size
// known up front so no read is ever attempted past the end.
class TByteSource {
public:
  TByteSource(TStream& S) : FStream(S), FStart(S.GetPosition()) {
    FSize = std::max<int64_t>(0, S.GetSize() - FStart);
  }
  int64_t Size() const { return FSize; }
  int64_t Position() const { return FPos; }
  // Exactly N bytes or TBadBmp with Fault.
  void Read(void* Dest, int64_t N, const char* Fault) {
    if (N > FSize - FPos) throw TBadBmp{Fault};
    auto* D = static_cast<uint8_t*>(Dest);
    while (N > 0) {
      if (FBufPos == FBufLen) Fill();
      const int64_t K = std::min(N, FBufLen - FBufPos);
      std::memcpy(D, FBuf.data() + FBufPos, std::size_t(K));
      D += K;
      N -= K;
      FBufPos += K;
      FPos += K;
    }
  }
  // Leaves the stream just after the bytes consumed (reading ahead may have
  // gone further), so data after an embedded image can still be read.
  void Finish() { FStream.SetPosition(FStart + FPos); }
  // Moves forward to offset Pos from the start.
  void SkipTo(int64_t Pos, const char* Fault) {
    if (Pos < FPos || Pos > FSize) throw TBadBmp{Fault};
    const int64_t Ahead = Pos - FPos;
    if (Ahead <= FBufLen - FBufPos) {
      FBufPos += Ahead;
    } else {
      FStream.SetPosition(FStart + Pos);
      FBufPos = FBufLen = 0;
    }
    FPos = Pos;
  }

private:
  void Fill() {
    const int64_t N = std::min<int64_t>(int64_t(FBuf.size()), FSize - FPos);
    FStream.SetPosition(FStart + FPos);
    FStream.ReadBuffer(FBuf.data(), N);
    FBufPos = 0;
    FBufLen = N;
  }

  TStream& FStream;
  int64_t FStart;
  int64_t FSize = 0;
  int64_t FPos = 0;
  std::vector<uint8_t> FBuf = std::vector<uint8_t>(65536);
  int64_t FBufPos = 0;
  int64_t FBufLen = 0;
};

// One channel of a BI_BITFIELDS mask: contiguous bits, scaled to 8 bits.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;
  uint32_t Get(uint32_t P) const {
    if (Bits == 0) return 0;
    const uint32_t V = (P & Mask) >> Shift;
    if (Bits >= 8) return V >> (Bits - 8);
    return (V * 255 + ((1u << Bits) - 1) / 2) / ((1u << Bits) - 1);
  }
};

TChannel MakeChannel(uint32_t Mask) {
  TChannel C;
  if (Mask == 0) return C;
  C.Mask = Mask;
  C.Shift = std::countr_zero(Mask);
  C.Bits = std::popcount(Mask);
  if ((Mask >> C.Shift) != (C.Bits == 32 ? 0xFFFFFFFFu : (1u << C.Bits) - 1))
    throw TBadBmp{"bit masks are not contiguous"};
  return C;
}

struct THeader {
  int32_t Width = 0;
  int32_t Height = 0; // positive
  bool TopDown = false;
  int Bpp = 0;
  uint32_t Compression = BI_RGB;
  uint32_t Masks[3] = {}; // red, green, blue
  std::vector<TColor> Palette;
};

// RLE4/RLE8 into palette indexes (pf4bit or pf8bit rows). Pixels the data
// skips keep index 0.
void DecodeRle(TByteSource& Src, int64_t DataSize, const THeader& H, TBitmap& Bmp,
               const std::function<void(int32_t)>& RowDone) {
  std::vector<uint8_t> Data(std::size_t(std::min<int64_t>(DataSize, Src.Size() - Src.Position())));
  Src.Read(Data.data(), int64_t(Data.size()), "RLE data truncated");
  const bool Rle4 = H.Compression == BI_RLE4;
  std::size_t i = 0;
  int32_t X = 0, Y = 0; // Y counts file rows from the bottom
  auto Put = [&](uint8_t V) {
    if (X < H.Width && Y < H.Height) detail::SetPixelValue(Bmp, X, H.Height - 1 - Y, V);
    ++X;
  };
  auto Need = [&](std::size_t N) {
    if (Data.size() - i < N) throw TBadBmp{"RLE data truncated"};
  };
  for (;;) {
    if (Y >= H.Height) return; // every row done; a missing end marker is forgiven
    Need(2);
    const uint8_t Count = Data[i], Code = Data[i + 1];
    i += 2;
    if (Count > 0) {
      for (int k = 0; k < Count; ++k)
        Put(Rle4 ? ((k & 1) ? Code & 15 : Code >> 4) : Code);
    } else if (Code == 0) { // end of line
      RowDone(Y);
      X = 0;
      ++Y;
    } else if (Code == 1) { // end of bitmap
      return;
    } else if (Code == 2) { // delta
      Need(2);
      const int32_t DX = Data[i], DY = Data[i + 1];
      i += 2;
      for (int32_t k = 0; k < DY && Y < H.Height; ++k)
        RowDone(Y++);
      X += DX;
    } else { // absolute run of Code pixels, padded to a word
      const std::size_t Bytes = Rle4 ? (Code + 1u) / 2 : Code;
      Need(Bytes + (Bytes & 1));
      for (int k = 0; k < Code; ++k)
        Put(Rle4 ? ((k & 1) ? Data[i + k / 2] & 15 : Data[i + k / 2] >> 4) : Data[i + k]);
      i += Bytes + (Bytes & 1);
    }
  }
}

} // namespace

void TBitmap::ReadStream(TStream& Stream, const std::string& FileName) {
  TByteSource Src(Stream);
  TBitmap New;
  try {
    uint8_t FH[FileHeaderSize];
    Src.Read(FH, FileHeaderSize, "file header truncated");
    if (FH[0] != 'B' || FH[1] != 'M') throw TBadBmp{"not a BMP file"};
    const uint32_t OffBits = Get32(FH + 10);

    uint8_t IH[124] = {};
    Src.Read(IH, 4, "bitmap header truncated");
    const uint32_t HeaderSize = Get32(IH);
    if (HeaderSize != 12 && HeaderSize != 40 && HeaderSize != 52 && HeaderSize != 56 &&
        HeaderSize != 108 && HeaderSize != 124)
      throw TBadBmp{"unknown bitmap header size " + IntToStr(HeaderSize)};
    Src.Read(IH + 4, HeaderSize - 4, "bitmap header truncated");

    THeader H;
    int64_t W, Ht;
    uint32_t ColorsUsed = 0;
    int PaletteEntrySize = 4;
    if (HeaderSize == 12) { // OS/2 core header
      W = Get16(IH + 4);
      Ht = Get16(IH + 6);
      if (Get16(IH + 8) != 1) throw TBadBmp{"plane count is not 1"};
      H.Bpp = Get16(IH + 10);
      PaletteEntrySize = 3;
    } else {
      W = int32_t(Get32(IH + 4));
      Ht = int32_t(Get32(IH + 8));
      if (Get16(IH + 12) != 1) throw TBadBmp{"plane count is not 1"};
      H.Bpp = Get16(IH + 14);
      H.Compression = Get32(IH + 16);
      ColorsUsed = Get32(IH + 32);
      if (H.Compression == BI_BITFIELDS || H.Compression == BI_ALPHABITFIELDS) {
        if (HeaderSize == 40) { // the masks follow the header
          const int N = H.Compression == BI_ALPHABITFIELDS ? 4 : 3;
          Src.Read(IH + 40, 4 * N, "bit masks truncated");
        }
        for (int k = 0; k < 3; ++k)
          H.Masks[k] = Get32(IH + 40 + 4 * k);
      }
    }
    if (Ht < 0) {
      H.TopDown = true;
      Ht = -Ht;
    }
    if (W <= 0 || Ht <= 0 || W > INT32_MAX || Ht > INT32_MAX)
      throw TBadBmp{"bad image size " + IntToStr(W) + " x " + IntToStr(Ht)};
    H.Width = int32_t(W);
    H.Height = int32_t(Ht);

    const bool Rle = H.Compression == BI_RLE8 || H.Compression == BI_RLE4;
    const bool Fields = H.Compression == BI_BITFIELDS || H.Compression == BI_ALPHABITFIELDS;
    if (H.Compression != BI_RGB && !Rle && !Fields)
      throw TBadBmp{"unsupported compression " + IntToStr(H.Compression)};
    switch (H.Bpp) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (Fields) throw TBadBmp{"bit masks need 16 or 32 bits a pixel"};
      break;
    case 16:
    case 32:
      if (Rle) throw TBadBmp{"RLE compression needs 4 or 8 bits a pixel"};
      break;
    default:
      throw TBadBmp{"unsupported bit count " + IntToStr(H.Bpp)};
    }
    if ((H.Compression == BI_RLE8 && H.Bpp != 8) || (H.Compression == BI_RLE4 && H.Bpp != 4))
      throw TBadBmp{"RLE compression does not match the bit count"};
    if (Rle && H.TopDown) throw TBadBmp{"RLE compression needs a bottom-up bitmap"};
    if (H.Bpp == 16 && !Fields) {
      H.Masks[0] = 0x7C00;
      H.Masks[1] = 0x03E0;
      H.Masks[2] = 0x001F;
    } else if (H.Bpp == 32 && !Fields) {
      H.Masks[0] = 0xFF0000;
      H.Masks[1] = 0x00FF00;
      H.Masks[2] = 0x0000FF;
    }
    TChannel Ch[3];
    if (H.Bpp >= 16)
      for (int k = 0; k < 3; ++k)
        Ch[k] = MakeChannel(H.Masks[k]);

    // Palette.
    if (H.Bpp <= 8) {
      const uint32_t Max = 1u << H.Bpp;
      if (ColorsUsed > Max)
        throw TBadBmp{"palette of " + IntToStr(ColorsUsed) + " colours for " + IntToStr(H.Bpp) +
                      " bits a pixel"};
      const uint32_t N = ColorsUsed ? ColorsUsed : Max;
      std::vector<uint8_t> P(std::size_t(N) * PaletteEntrySize);
      Src.Read(P.data(), int64_t(P.size()), "palette truncated");
      H.Palette.resize(N);
      for (uint32_t k = 0; k < N; ++k) {
        const uint8_t* E = P.data() + std::size_t(k) * PaletteEntrySize;
        H.Palette[k] = RGB(E[2], E[1], E[0]);
      }
    }
    if (OffBits < Src.Position() || OffBits >= Src.Size())
      throw TBadBmp{"bad pixel data offset " + IntToStr(OffBits)};
    Src.SkipTo(OffBits, "bad pixel data offset");

    TPixelFormat Format;
    bool Direct = false; // file rows are stored rows
    switch (H.Bpp) {
    case 1:
    case 4:
      Format = pf4bit;
      Direct = H.Bpp == 4;
      break;
    case 8:
      Format = pf8bit;
      Direct = true;
      break;
    case 16:
      Format = (H.Masks[0] == 0x7C00 && H.Masks[1] == 0x03E0 && H.Masks[2] == 0x001F) ? pf15bit
                                                                                      : pf24bit;
      Direct = Format == pf15bit;
      break;
    case 24:
      Format = pf24bit;
      Direct = true;
      break;
    default:
      Format = pf32bit;
      Direct = H.Masks[0] == 0xFF0000 && H.Masks[1] == 0xFF00 && H.Masks[2] == 0xFF;
      break;
    }
    const int64_t Stored = ScanLineBytes(H.Width, Format);
    if (Stored > MaxBitmapBytes / H.Height)
      throw TBadBmp{"image of " + IntToStr(H.Width) + " x " + IntToStr(H.Height) +
                    " pixels exceeds " + IntToStr(MaxBitmapBytes) + " bytes"};
    const int64_t FileRow = (int64_t(H.Width) * H.Bpp + 31) / 32 * 4;
    if (!Rle && FileRow * H.Height > Src.Size() - Src.Position())
      throw TBadBmp{"pixel data truncated"};

    Progress(psStarting, 0);
    int Percent = 0;
    auto RowDone = [&](int32_t Done) {
      const int P = int(int64_t(Done + 1) * 100 / H.Height);
      if (P != Percent) {
        Percent = P;
        Progress(psRunning, uint8_t(P));
      }
    };

    // RLE data may skip pixels, which take index 0.
    New.Allocate(H.Width, H.Height, Format, Rle ? fillZero : fillNone);
    if (!H.Palette.empty()) New.SetPalette(H.Palette);
    if (Rle) {
      const uint32_t SizeImage = HeaderSize >= 40 ? Get32(IH + 20) : 0;
      DecodeRle(Src, SizeImage ? int64_t(SizeImage) : Src.Size() - Src.Position(), H, New, RowDone);
    } else {
      std::vector<uint8_t> Row(std::size_t(FileRow) + 4);
      std::vector<uint32_t> Work(Direct ? 0 : std::size_t(H.Width));
      for (int32_t i = 0; i < H.Height; ++i) {
        const int32_t y = H.TopDown ? i : H.Height - 1 - i;
        uint8_t* D = New.ScanLine(y);
        Src.Read(Direct ? D : Row.data(), FileRow, "pixel data truncated");
        if (H.Bpp == 1) {
          for (int32_t x = 0; x < H.Width; ++x) {
            const uint8_t Bit = (Row[std::size_t(x >> 3)] >> (7 - (x & 7))) & 1;
            D[x >> 1] = (x & 1) ? uint8_t((D[x >> 1] & 0xF0) | Bit) : uint8_t(Bit << 4);
          }
        } else if (Format == pf15bit) {
          for (int32_t x = 0; x < H.Width; ++x)
            detail::Store16(D + 2 * x, detail::Load16(D + 2 * x) & 0x7FFF);
        } else if (Format == pf32bit && Direct) {
          for (int32_t x = 0; x < H.Width; ++x)
            D[4 * int64_t(x) + 3] = 0;
        } else if (!Direct) {
          const int Bytes = H.Bpp / 8;
          for (int32_t x = 0; x < H.Width; ++x) {
            const uint8_t* S = Row.data() + int64_t(x) * Bytes;
            const uint32_t P = Bytes == 2 ? Get16(S) : Get32(S);
            Work[std::size_t(x)] = Ch[0].Get(P) << 16 | Ch[1].Get(P) << 8 | Ch[2].Get(P);
          }
          detail::EncodeRow(New, y, 0, H.Width, Work.data(), nullptr);
        }
        RowDone(i);
      }
    }
  } catch (const TBadBmp& E) {
    throw EInvalidGraphic(ImageErrorText("BMP", FileName, E.Fault));
  } catch (const EReadError&) {
    throw EInvalidGraphic(ImageErrorText("BMP", FileName, "unexpected end of data"));
  }
  Src.Finish();
  SwapImage(New);
  Progress(psEnding, 100);
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (Empty()) throw EInvalidGraphicOperation("Cannot save an empty bitmap");
  const int Bpp = BitsPerPixel(FFormat);
  const auto PaletteSize = uint32_t(FPalette.size());
  const int64_t Row = ScanLineBytes(FWidth, FFormat);
  const int64_t Offset = FileHeaderSize + 40 + 4 * int64_t(PaletteSize);
  const int64_t Total = Offset + Row * FHeight;
  if (Total > UINT32_MAX) throw EInvalidGraphicOperation("Bitmap too large for a BMP file");

  std::vector<uint8_t> Head(std::size_t(Offset), 0);
  Head[0] = 'B';
  Head[1] = 'M';
  Put32(&Head[2], uint32_t(Total));
  Put32(&Head[10], uint32_t(Offset));
  uint8_t* IH = &Head[FileHeaderSize];
  Put32(IH, 40);
  Put32(IH + 4, uint32_t(FWidth));
  Put32(IH + 8, uint32_t(FHeight)); // bottom-up
  Put16(IH + 12, 1);
  Put16(IH + 14, uint32_t(Bpp));
  Put32(IH + 16, BI_RGB);
  Put32(IH + 20, uint32_t(Row * FHeight));
  Put32(IH + 24, 3780); // 96 dots per inch in pixels per metre
  Put32(IH + 28, 3780);
  Put32(IH + 32, PaletteSize);
  for (uint32_t k = 0; k < PaletteSize; ++k) {
    uint8_t* E = IH + 40 + 4 * k;
    E[0] = GetBValue(FPalette[k]);
    E[1] = GetGValue(FPalette[k]);
    E[2] = GetRValue(FPalette[k]);
  }
  Progress(psStarting, 0);
  Stream.WriteBuffer(Head.data(), int64_t(Head.size()));

  // Rows go out with zero padding and zero reserved bits, whatever the
  // buffer holds there.
  const int64_t DataBytes = (int64_t(FWidth) * Bpp + 7) / 8;
  std::vector<uint8_t> Out(std::size_t(Row), 0);
  int Percent = 0;
  for (int32_t i = 0; i < FHeight; ++i) {
    const uint8_t* S = FBits.get() + int64_t(FHeight - 1 - i) * FStride;
    std::memcpy(Out.data(), S, std::size_t(DataBytes));
    if (FFormat == pf4bit && (FWidth & 1)) Out[std::size_t(DataBytes - 1)] &= 0xF0;
    if (FFormat == pf15bit)
      for (int32_t x = 0; x < FWidth; ++x)
        Out[2 * std::size_t(x) + 1] &= 0x7F;
    if (FFormat == pf32bit)
      for (int32_t x = 0; x < FWidth; ++x)
        Out[4 * std::size_t(x) + 3] = 0;
    Stream.WriteBuffer(Out.data(), Row);
    const int P = int(int64_t(i + 1) * 100 / FHeight);
    if (P != Percent) {
      Percent = P;
      Progress(psRunning, uint8_t(P));
    }
  }
  Progress(psEnding, 100);
}

} // namespace qeb
