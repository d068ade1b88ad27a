// Fonts for the canvas: faces looked up by name through fontconfig, glyphs
// rendered by FreeType, antialiased, at any escapement, and kept in a glyph
// cache so repeated captions cost only the blending.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/graphics.h"

namespace qeb {

class TBitmap;

// One font description made concrete: a font file at a pixel size and angle
// with its metrics and its glyph cache. Faces are shared: Get returns the
// same face for equal descriptions while any user holds it (and keeps the
// most recently used ones a while longer). All faces of the process share
// one lock, so they may be used from any thread.
//
// Lookup: the face name is matched through fontconfig with the weight and
// slant; when the font found does not carry the asked family name (as for
// "MS Sans Serif" on a Linux machine), the installed sans-serif font is
// used instead, so an unknown name always gives the same face. A bold or
// italic style the file lacks is synthesised. Without any usable font,
// text measures 0 wide and draws nothing.
//
// Size: the em size is kept within 1 to 1024 pixels whatever the height
// asks (a point size of 2^31 - 1 or a negative one included), so no
// description makes glyph bitmaps of unbounded size.
class TFontFace {
public:
  static std::shared_ptr<TFontFace> Get(const TLogFont& Log);
  ~TFontFace();
  TFontFace(const TFontFace&) = delete;
  TFontFace& operator=(const TFontFace&) = delete;

  // The family and file actually used (empty without a font).
  const std::string& GetFamily() const { return FFamily; }
  const std::string& GetFileName() const { return FFileName; }
  // Pixels above and below the baseline; their sum is the text height.
  int32_t GetAscent() const { return FAscent; }
  int32_t GetDescent() const { return FDescent; }
  // Tenths of a degree, counter-clockwise, 0..3599.
  int32_t Escapement() const { return FEscapement; }

  // Width (sum of the glyph advances) and height of Text before rotation.
  // Text is UTF-8; a malformed byte counts as '?'.
  TSize Extent(std::string_view Text);
  // Blends the glyphs of Text in Color (0x00BBGGRR) into Bmp with the top
  // left of the unrotated text box at (X, Y), plus underline and strike-out
  // lines when the description asks for them. Clipped to the bitmap.
  void Draw(TBitmap& Bmp, int32_t X, int32_t Y, std::string_view Text, TColor Color);

  struct TImpl;

private:
  explicit TFontFace(std::unique_ptr<TImpl> Impl);

  std::unique_ptr<TImpl> FImpl;
  std::string FFamily;
  std::string FFileName;
  int32_t FAscent = 0;
  int32_t FDescent = 0;
  int32_t FEscapement = 0;
};

} // namespace qeb
