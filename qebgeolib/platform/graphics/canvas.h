// The drawing surface of a bitmap: lines, shapes, text, pixels and block
// copies with the classic GDI rules, so that drawing code written for them
// gives the same pixels here.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "qebgeolib/platform/graphics/graphics.h"

namespace qeb {

class TBitmap;
namespace detail {
struct TStretchScratch;
}

// Ternary raster operations of block copies (the GDI codes). Any of the 256
// codes works; these are the named ones.
using TCopyMode = uint32_t;
inline constexpr TCopyMode cmBlackness = 0x00000042;
inline constexpr TCopyMode cmDstInvert = 0x00550009;
inline constexpr TCopyMode cmMergeCopy = 0x00C000CA;
inline constexpr TCopyMode cmMergePaint = 0x00BB0226;
inline constexpr TCopyMode cmNotSrcCopy = 0x00330008;
inline constexpr TCopyMode cmNotSrcErase = 0x001100A6;
inline constexpr TCopyMode cmPatCopy = 0x00F00021;
inline constexpr TCopyMode cmPatInvert = 0x005A0049;
inline constexpr TCopyMode cmPatPaint = 0x00FB0A09;
inline constexpr TCopyMode cmSrcAnd = 0x008800C6;
inline constexpr TCopyMode cmSrcCopy = 0x00CC0020;
inline constexpr TCopyMode cmSrcErase = 0x00440328;
inline constexpr TCopyMode cmSrcInvert = 0x00660046;
inline constexpr TCopyMode cmSrcPaint = 0x00EE0086;
inline constexpr TCopyMode cmWhiteness = 0x00FF0062;

// How a block copy of different source and destination sizes samples the
// source (the GDI stretch modes with their GDI numbers):
//   sbmColorOnColor  nearest pixel: destination pixel i takes source pixel
//                    floor((i + 0.5) * SourceSize / DestSize);
//   sbmHalftone      area average: each destination pixel is the mean of
//                    the source area it covers, partial pixels weighted by
//                    the part covered (a box filter, also when enlarging).
enum TStretchBltMode : uint8_t { sbmColorOnColor = 3, sbmHalftone = 4 };

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Coordinates are pixels of the bitmap, (0, 0) top left; everything is
// clipped to the bitmap, and coordinates anywhere in the 32-bit range are
// safe. The rules:
// - LineTo(x, y) draws from the pen position to (x, y) without the end pixel
//   and moves the pen there; MoveTo restarts the dash pattern, LineTo and the
//   outlines continue it.
// - Rectangle, Ellipse: the figure covers x1..x2-1, y1..y2-1 (corners in any
//   order); the outline is drawn with the pen, the inside filled with the
//   brush unless the brush is clear. Pens wider than 1 are centred on that
//   outline (psInsideFrame keeps them inside).
// - Polygon: filled with the brush by the even-odd rule, then outlined like
//   a closed Polyline, so its outline passes through every vertex. Pixel
//   (x, y) is sampled at its own position, and left and top edges count as
//   inside: row y crosses an edge when min(y) <= y < max(y) of its ends,
//   and x is filled when left crossing <= x < right crossing. So the fill
//   never leaves the outline, and polygons sharing an edge do not overlap. Fill and outline are
//   separate passes, so with pmXor the pixels they share are inverted twice.
// - The pen mode applies to pen and brush pixels of LineTo, Polyline,
//   Rectangle, Ellipse and Polygon; FillRect, FrameRect, text and Pixels
//   always copy.
// - Dash gaps are painted in the brush colour when the brush is solid and
//   left alone when it is clear. Ellipse outlines are always solid.
// - TextOut(x, y) puts the top left of the text box at (x, y) (turned with
//   the font's escapement about that point), fills the box with the brush
//   unless it is clear, blends antialiased glyphs in the font colour and
//   moves the pen position to (x + text width, y), also for turned text.
class TCanvas : public TPersistent {
public:
  explicit TCanvas(TBitmap* Surface);
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  std::string_view ClassName() const override { return "TCanvas"; }

  TBitmap* GetSurface() const { return FSurface; }

  TPen& GetPen() { return FPen; }
  TBrush& GetBrush() { return FBrush; }
  TFont& GetFont() { return FFont; }
  void SetPen(const TPen& Value);
  void SetBrush(const TBrush& Value);
  void SetFont(const TFont& Value) { FFont = Value; }

  TPoint GetPenPos() const { return FPenPos; }
  void SetPenPos(const TPoint& Value) { MoveTo(Value.X, Value.Y); }
  TCopyMode GetCopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }
  TStretchBltMode GetStretchBltMode() const { return FStretchMode; }
  // Values other than the two modes read as sbmColorOnColor.
  void SetStretchBltMode(TStretchBltMode Value);
  // The whole bitmap.
  TRect GetClipRect() const;

  void MoveTo(int32_t X, int32_t Y);
  void LineTo(int32_t X, int32_t Y);
  // Lines through the points in turn; fewer than two points draw nothing.
  // The pen position does not change.
  void Polyline(std::span<const TPoint> Points);
  void Polygon(std::span<const TPoint> Points);
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  // The rectangle in the brush colour (nothing when the brush is clear or
  // the rectangle is empty or inverted).
  void FillRect(const TRect& R);
  // A one-pixel border just inside R in the brush colour.
  void FrameRect(const TRect& R);

  void TextOut(int32_t X, int32_t Y, std::string_view Text);
  // The size of the text box with the current font, before any rotation:
  // the sum of the glyph advances by the font's ascent plus descent.
  TSize TextExtent(std::string_view Text);
  int32_t TextWidth(std::string_view Text) { return TextExtent(Text).cx; }
  int32_t TextHeight(std::string_view Text) { return TextExtent(Text).cy; }

  // The colour of a pixel; 0xFFFFFFFF outside the bitmap. Setting a pixel
  // outside does nothing.
  TColor GetPixels(int32_t X, int32_t Y) const;
  void SetPixels(int32_t X, int32_t Y, TColor Color);

  // Copies Source's rectangle SourceRect onto Dest of this canvas with
  // CopyMode, sampling by this canvas's stretch mode when the sizes differ.
  // A negative extent (Right < Left) mirrors. Destination pixels whose
  // source lies outside the source bitmap are left alone. The brush is the
  // pattern of the pattern copy modes. Source may be this canvas.
  void CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect);
  // StretchBlt(X, Y, W, H, Source, SX, SY, SW, SH, Rop) of the GDI: the
  // same as CopyRect with explicit sizes and raster operation.
  void StretchBlt(int32_t X, int32_t Y, int32_t Width, int32_t Height, TCanvas& Source, int32_t SX,
                  int32_t SY, int32_t SWidth, int32_t SHeight, TCopyMode Rop);
  // The whole of Graphic at (X, Y), 1:1, and stretched onto R (cmSrcCopy).
  void Draw(int32_t X, int32_t Y, TBitmap& Graphic);
  void StretchDraw(const TRect& R, TBitmap& Graphic);

private:
  struct TRop2 {
    uint32_t And = 0; // new pixel = (old & And) ^ Xor
    uint32_t Xor = 0;
  };
  TRop2 MakeRop(TColor Color, TPenMode Mode) const;
  // A segment with the 1-pixel pen, end pixel excluded; continues the dash
  // pattern.
  void ThinSegment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1);
  void WideSegment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1);
  void Segment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1);
  void PenSpan(int32_t Y, int64_t X0, int64_t X1, const TRop2& Rop);
  void FillPolygon(std::span<const TPoint> Points, bool AtCentres, const TRop2& Fill);
  // Width of the outline of closed figures; 0 for psClear.
  int32_t OutlineWidth() const;

  TBitmap* FSurface;
  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TPoint FPenPos;
  TCopyMode FCopyMode = cmSrcCopy;
  TStretchBltMode FStretchMode = sbmColorOnColor;
  int32_t FDashPos = 0; // position in the dash pattern
  std::vector<int64_t> FCrossings;
  std::unique_ptr<detail::TStretchScratch> FScratch; // work memory of block copies
};

// Keeps a canvas's pen, brush and font from the start of a scope and puts
// them back when it ends, also when drawing throws, so code that sets them
// for its own drawing hands the canvas back as it found it.
class TCanvasStateSaver {
public:
  explicit TCanvasStateSaver(TCanvas& Canvas)
      : FCanvas(Canvas), FPen(Canvas.GetPen()), FBrush(Canvas.GetBrush()), FFont(Canvas.GetFont()) {
  }
  ~TCanvasStateSaver() {
    FCanvas.SetPen(FPen);
    FCanvas.SetBrush(FBrush);
    FCanvas.SetFont(FFont);
  }
  TCanvasStateSaver(const TCanvasStateSaver&) = delete;
  TCanvasStateSaver& operator=(const TCanvasStateSaver&) = delete;

private:
  TCanvas& FCanvas;
  const TPen FPen;
  const TBrush FBrush;
  const TFont FFont;
};

} // namespace qeb
