// Font lookup (fontconfig), glyph rendering (FreeType), the glyph cache and
// glyph blending into bitmaps of every pixel format.
#include "qebgeolib/platform/graphics/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/platform/graphics/detail/pixelrows.h"

namespace qeb {

namespace {

constexpr double Pi = 3.14159265358979323846;
// Em sizes are kept to this many pixels: a hostile font height must not
// make glyph bitmaps of gigabytes.
constexpr double MaxEmPixels = 1024;
// Em size of a description with height 0 (the default font's 8 points).
constexpr double DefaultEmPixels = 11;
// The glyph cache of a face is emptied when it grows past these.
constexpr std::size_t MaxCachedGlyphs = 4096;
constexpr std::size_t MaxGlyphPoolBytes = 8u << 20;
// Faces kept alive after their last user, most recently used first.
constexpr std::size_t KeptFaces = 32;

struct TResolved {
  bool Found = false;
  std::string File;
  int Index = 0;
  std::string Family;
  bool SynthBold = false;
  bool SynthItalic = false;
};

std::string Lower(std::string S) {
  for (char& C : S)
    if (C >= 'A' && C <= 'Z') C = char(C - 'A' + 'a');
  return S;
}

// The process-wide font state: FreeType, the name lookups and the shared
// faces. It is never destroyed, so faces held by static objects stay valid
// until the very end of the process.
struct TFontEngine {
  std::mutex Lock;
  FT_Library Library = nullptr;
  bool FontconfigReady = false;
  std::map<std::string, TResolved> Lookups;
  std::map<std::string, std::weak_ptr<TFontFace>> Faces;
  std::deque<std::shared_ptr<TFontFace>> Recent;

  static TFontEngine& Instance() {
    static TFontEngine* E = new TFontEngine;
    return *E;
  }

  TFontEngine() {
    if (FT_Init_FreeType(&Library) != 0) Library = nullptr;
    FontconfigReady = FcInit() == FcTrue;
  }

  // Fontconfig's best match for Family with the style; Exact asks that the
  // match carries the family name itself.
  TResolved Match(const std::string& Family, bool Bold, bool Italic, bool Exact) {
    TResolved R;
    if (!FontconfigReady) return R;
    FcPattern* Pat = FcPatternCreate();
    if (!Pat) return R;
    FcPatternAddString(Pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(Family.c_str()));
    FcPatternAddInteger(Pat, FC_WEIGHT, Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(Pat, FC_SLANT, Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(Pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, Pat, FcMatchPattern);
    FcDefaultSubstitute(Pat);
    FcResult Result;
    FcPattern* M = FcFontMatch(nullptr, Pat, &Result);
    FcPatternDestroy(Pat);
    if (!M) return R;
    bool NameOk = !Exact;
    FcChar8* S = nullptr;
    for (int i = 0; FcPatternGetString(M, FC_FAMILY, i, &S) == FcResultMatch; ++i) {
      if (i == 0) R.Family = reinterpret_cast<const char*>(S);
      if (Lower(reinterpret_cast<const char*>(S)) == Lower(Family)) {
        R.Family = reinterpret_cast<const char*>(S);
        NameOk = true;
      }
    }
    FcChar8* File = nullptr;
    int Index = 0, Weight = FC_WEIGHT_REGULAR, Slant = FC_SLANT_ROMAN;
    FcBool Scalable = FcTrue;
    if (NameOk && FcPatternGetString(M, FC_FILE, 0, &File) == FcResultMatch) {
      FcPatternGetInteger(M, FC_INDEX, 0, &Index);
      FcPatternGetInteger(M, FC_WEIGHT, 0, &Weight);
      FcPatternGetInteger(M, FC_SLANT, 0, &Slant);
      FcPatternGetBool(M, FC_SCALABLE, 0, &Scalable);
      if (Scalable) {
        R.Found = true;
        R.File = reinterpret_cast<const char*>(File);
        R.Index = Index;
        R.SynthBold = Bold && Weight < FC_WEIGHT_DEMIBOLD;
        R.SynthItalic = Italic && Slant == FC_SLANT_ROMAN;
      }
    }
    FcPatternDestroy(M);
    return R;
  }

  const TResolved& Resolve(const std::string& Name, bool Bold, bool Italic) {
    const std::string Key = Lower(Name) + (Bold ? "|b" : "|-") + (Italic ? "i" : "-");
    auto It = Lookups.find(Key);
    if (It != Lookups.end()) return It->second;
    TResolved R;
    if (!Name.empty()) R = Match(Name, Bold, Italic, true);
    if (!R.Found) R = Match("sans-serif", Bold, Italic, false);
    return Lookups.emplace(Key, R).first->second;
  }
};

// Decodes one UTF-8 character at S[i], advancing i; a malformed sequence
// gives '?' and skips one byte.
char32_t NextChar(std::string_view S, std::size_t& i) {
  const auto B0 = uint8_t(S[i]);
  if (B0 < 0x80) {
    ++i;
    return B0;
  }
  int N = 0;
  char32_t C = 0;
  char32_t Min = 0;
  if ((B0 & 0xE0) == 0xC0) {
    N = 1;
    C = B0 & 0x1F;
    Min = 0x80;
  } else if ((B0 & 0xF0) == 0xE0) {
    N = 2;
    C = B0 & 0x0F;
    Min = 0x800;
  } else if ((B0 & 0xF8) == 0xF0) {
    N = 3;
    C = B0 & 0x07;
    Min = 0x10000;
  } else {
    ++i;
    return U'?';
  }
  if (i + N >= S.size()) {
    ++i;
    return U'?';
  }
  for (int k = 1; k <= N; ++k) {
    const auto B = uint8_t(S[i + k]);
    if ((B & 0xC0) != 0x80) {
      ++i;
      return U'?';
    }
    C = C << 6 | (B & 0x3F);
  }
  if (C < Min || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) {
    ++i;
    return U'?';
  }
  i += std::size_t(N) + 1;
  return C;
}

} // namespace

struct TFontFace::TImpl {
  struct TGlyph {
    int32_t Left = 0, Top = 0; // bitmap offset from the pen, Top upwards
    int32_t Width = 0, Rows = 0;
    int32_t Advance = 0; // unrotated, whole pixels
    uint32_t Offset = 0; // into Pool
  };

  FT_Face Face = nullptr;
  bool Antialias = true;
  bool SynthBold = false, SynthItalic = false;
  bool Underline = false, StrikeOut = false;
  bool Rotated = false;
  FT_Matrix Rotation{};
  double Cos = 1, Sin = 0;
  int32_t UnderTop = 0, UnderThick = 1, StrikeTop = 0, StrikeThick = 1;

  std::vector<TGlyph> Glyphs;
  int32_t Ascii[128];
  std::unordered_map<char32_t, int32_t> Other;
  std::vector<uint8_t> Pool;
  std::vector<uint32_t> Row;

  TImpl() { std::fill(std::begin(Ascii), std::end(Ascii), -1); }
  ~TImpl() {
    if (Face) FT_Done_Face(Face);
  }

  TGlyph Glyph(char32_t C) {
    if (C < 128 && Ascii[C] >= 0) return Glyphs[std::size_t(Ascii[C])];
    if (C >= 128) {
      auto It = Other.find(C);
      if (It != Other.end()) return Glyphs[std::size_t(It->second)];
    }
    if (Glyphs.size() >= MaxCachedGlyphs || Pool.size() >= MaxGlyphPoolBytes) {
      Glyphs.clear();
      Pool.clear();
      Other.clear();
      std::fill(std::begin(Ascii), std::end(Ascii), -1);
    }
    TGlyph G;
    if (Face) Render(C, G); // a glyph that fails to render stays empty
    const auto Index = int32_t(Glyphs.size());
    Glyphs.push_back(G);
    if (C < 128)
      Ascii[C] = Index;
    else
      Other.emplace(C, Index);
    return G;
  }

  bool Render(char32_t C, TGlyph& G) {
    const FT_UInt Index = FT_Get_Char_Index(Face, FT_ULong(C));
    if (FT_Load_Glyph(Face, Index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot Slot = Face->glyph;
    if (Slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    if (SynthBold) FT_GlyphSlot_Embolden(Slot);
    if (SynthItalic) FT_GlyphSlot_Oblique(Slot);
    G.Advance = int32_t((Slot->metrics.horiAdvance + 32) >> 6);
    if (Rotated) FT_Outline_Transform(&Slot->outline, &Rotation);
    if (FT_Render_Glyph(Slot, FT_RENDER_MODE_NORMAL) != 0) return true;
    const FT_Bitmap& B = Slot->bitmap;
    if (B.pixel_mode != FT_PIXEL_MODE_GRAY) return true;
    G.Left = Slot->bitmap_left;
    G.Top = Slot->bitmap_top;
    G.Width = int32_t(B.width);
    G.Rows = int32_t(B.rows);
    G.Offset = uint32_t(Pool.size());
    Pool.resize(Pool.size() + std::size_t(G.Width) * std::size_t(G.Rows));
    for (int32_t r = 0; r < G.Rows; ++r)
      std::memcpy(Pool.data() + G.Offset + std::size_t(r) * std::size_t(G.Width),
                  B.buffer + std::ptrdiff_t(r) * B.pitch, std::size_t(G.Width));
    return true;
  }

  // Blends the coverage bitmap of G with its top left at (GX, GY).
  void Blit(TBitmap& Bmp, const TGlyph& G, int64_t GX, int64_t GY, uint32_t Fg, uint32_t Value) {
    const int64_t W = Bmp.GetWidth(), H = Bmp.GetHeight();
    const int64_t XA = std::max<int64_t>(GX, 0), XB = std::min<int64_t>(GX + G.Width, W);
    if (XA >= XB) return;
    const bool Palette = Bmp.GetPixelFormat() == pf4bit || Bmp.GetPixelFormat() == pf8bit;
    const int32_t N = int32_t(XB - XA);
    if (Row.size() < std::size_t(N)) Row.resize(std::size_t(N));
    for (int32_t r = 0; r < G.Rows; ++r) {
      const int64_t Y = GY + r;
      if (Y < 0 || Y >= H) continue;
      const uint8_t* Cov =
          Pool.data() + G.Offset + std::size_t(r) * std::size_t(G.Width) + std::size_t(XA - GX);
      if (Palette || !Antialias) {
        // Hard edges: a pixel is in when at least half covered.
        for (int32_t i = 0; i < N; ++i)
          if (Cov[i] >= 128) detail::SetPixelValue(Bmp, int32_t(XA + i), int32_t(Y), Value);
        continue;
      }
      detail::DecodeRow(Bmp, int32_t(Y), int32_t(XA), N, Row.data());
      bool Any = false;
      for (int32_t i = 0; i < N; ++i) {
        const uint32_t A = Cov[i];
        if (A == 0) continue;
        Any = true;
        if (A == 255) {
          Row[std::size_t(i)] = Fg;
          continue;
        }
        const uint32_t D = Row[std::size_t(i)];
        uint32_t Out = 0;
        for (int Sh = 0; Sh < 24; Sh += 8) {
          const uint32_t DC = D >> Sh & 0xFF, FC = Fg >> Sh & 0xFF;
          Out |= ((DC * (255 - A) + FC * A + 127) / 255) << Sh;
        }
        Row[std::size_t(i)] = Out;
      }
      if (Any) detail::EncodeRow(Bmp, int32_t(Y), int32_t(XA), N, Row.data(), nullptr);
    }
  }

  // Fills the box U in [0, Len), V in [V0, V0 + T) of text coordinates
  // (U along the baseline, V down from the top of the text box at (X, Y)).
  void Line(TBitmap& Bmp, int32_t X, int32_t Y, int32_t Len, int32_t V0, int32_t T,
            uint32_t Value) {
    if (Len <= 0 || T <= 0) return;
    const int64_t W = Bmp.GetWidth(), H = Bmp.GetHeight();
    if (!Rotated) {
      const int64_t XA = std::max<int64_t>(X, 0), XB = std::min<int64_t>(int64_t(X) + Len, W);
      for (int64_t Y2 = std::max<int64_t>(int64_t(Y) + V0, 0);
           Y2 < std::min<int64_t>(int64_t(Y) + V0 + T, H); ++Y2)
        for (int64_t X2 = XA; X2 < XB; ++X2)
          detail::SetPixelValue(Bmp, int32_t(X2), int32_t(Y2), Value);
      return;
    }
    double MinX = 1e300, MaxX = -1e300, MinY = 1e300, MaxY = -1e300;
    for (double U : {0.0, double(Len)})
      for (double V : {double(V0), double(V0 + T)}) {
        const double PX = X + U * Cos + V * Sin, PY = Y - U * Sin + V * Cos;
        MinX = std::min(MinX, PX);
        MaxX = std::max(MaxX, PX);
        MinY = std::min(MinY, PY);
        MaxY = std::max(MaxY, PY);
      }
    const int64_t XA = std::max<int64_t>(int64_t(std::floor(MinX)), 0);
    const int64_t XB = std::min<int64_t>(int64_t(std::ceil(MaxX)), W);
    const int64_t YA = std::max<int64_t>(int64_t(std::floor(MinY)), 0);
    const int64_t YB = std::min<int64_t>(int64_t(std::ceil(MaxY)), H);
    for (int64_t PY = YA; PY < YB; ++PY)
      for (int64_t PX = XA; PX < XB; ++PX) {
        const double DX = double(PX) + 0.5 - X, DY = double(PY) + 0.5 - Y;
        const double U = DX * Cos - DY * Sin, V = DX * Sin + DY * Cos;
        if (U >= 0 && U < Len && V >= V0 && V < V0 + T)
          detail::SetPixelValue(Bmp, int32_t(PX), int32_t(PY), Value);
      }
  }
};

TFontFace::TFontFace(std::unique_ptr<TImpl> Impl) : FImpl(std::move(Impl)) {}

TFontFace::~TFontFace() = default;

std::shared_ptr<TFontFace> TFontFace::Get(const TLogFont& Log) {
  TFontEngine& E = TFontEngine::Instance();
  std::lock_guard<std::mutex> Guard(E.Lock);
  const bool Bold = Log.lfWeight >= 550, Italic = Log.lfItalic != 0;
  const TResolved& R = E.Resolve(Log.lfFaceName, Bold, Italic);

  int32_t Esc = Log.lfEscapement % 3600;
  if (Esc < 0) Esc += 3600;
  const std::string Key = R.File + "|" + std::to_string(R.Index) + "|" +
                          std::to_string(Log.lfHeight) + "|" + std::to_string(Log.lfWidth) + "|" +
                          std::to_string(Esc) + "|" + (Bold ? "b" : "-") + (Italic ? "i" : "-") +
                          (Log.lfUnderline ? "u" : "-") + (Log.lfStrikeOut ? "s" : "-") +
                          (Log.lfQuality == NONANTIALIASED_QUALITY ? "m" : "a");
  if (auto It = E.Faces.find(Key); It != E.Faces.end())
    if (auto F = It->second.lock()) return F;

  auto Impl = std::make_unique<TImpl>();
  Impl->Antialias = Log.lfQuality != NONANTIALIASED_QUALITY;
  Impl->Underline = Log.lfUnderline != 0;
  Impl->StrikeOut = Log.lfStrikeOut != 0;
  Impl->SynthBold = R.SynthBold;
  Impl->SynthItalic = R.SynthItalic;
  std::shared_ptr<TFontFace> F(new TFontFace(std::move(Impl)));
  TImpl& I = *F->FImpl;
  F->FEscapement = Esc;
  if (Esc != 0) {
    const double A = Esc * Pi / 1800.0;
    I.Cos = std::cos(A);
    I.Sin = std::sin(A);
    I.Rotated = true;
    I.Rotation.xx = FT_Fixed(std::lround(I.Cos * 65536.0));
    I.Rotation.xy = FT_Fixed(std::lround(-I.Sin * 65536.0));
    I.Rotation.yx = FT_Fixed(std::lround(I.Sin * 65536.0));
    I.Rotation.yy = FT_Fixed(std::lround(I.Cos * 65536.0));
  }
  if (R.Found && E.Library && FT_New_Face(E.Library, R.File.c_str(), R.Index, &I.Face) != 0)
    I.Face = nullptr;
  if (I.Face) {
    F->FFamily = R.Family;
    F->FFileName = R.File;
    FT_Face Face = I.Face;
    const double Units = Face->units_per_EM > 0 ? Face->units_per_EM : 2048;
    const auto* OS2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(Face, FT_SFNT_OS2));
    double Asc = Face->ascender, Desc = -double(Face->descender);
    if (OS2 && OS2->version != 0xFFFF && OS2->usWinAscent + OS2->usWinDescent > 0) {
      Asc = OS2->usWinAscent;
      Desc = OS2->usWinDescent;
    }
    if (Asc + Desc <= 0) {
      Asc = Units * 0.8;
      Desc = Units * 0.2;
    }
    double EmY = Log.lfHeight < 0   ? -double(Log.lfHeight)
                 : Log.lfHeight > 0 ? double(Log.lfHeight) * Units / (Asc + Desc)
                                    : DefaultEmPixels;
    EmY = std::clamp(EmY, 1.0, MaxEmPixels);
    double EmX = EmY;
    if (Log.lfWidth > 0 && OS2 && OS2->version != 0xFFFF && OS2->xAvgCharWidth > 0)
      EmX = std::clamp(double(Log.lfWidth) * Units / OS2->xAvgCharWidth, 1.0, MaxEmPixels);
    if (FT_Set_Char_Size(Face, FT_F26Dot6(std::lround(EmX * 64)), FT_F26Dot6(std::lround(EmY * 64)),
                         72, 72) != 0) {
      FT_Done_Face(Face);
      I.Face = nullptr;
    } else {
      const double Scale = EmY / Units;
      F->FAscent = int32_t(std::lround(Asc * Scale));
      F->FDescent = int32_t(std::lround(Desc * Scale));
      const int32_t Height = F->FAscent + F->FDescent;
      I.UnderThick = std::max(1, int32_t(std::lround(Face->underline_thickness * Scale)));
      I.UnderTop =
          F->FAscent + int32_t(std::lround(-Face->underline_position * Scale)) - I.UnderThick / 2;
      I.UnderTop = std::clamp(I.UnderTop, F->FAscent, std::max(F->FAscent, Height - I.UnderThick));
      double StrikePos = Units * 0.26, StrikeSize = Face->underline_thickness;
      if (OS2 && OS2->version != 0xFFFF && OS2->yStrikeoutSize > 0) {
        StrikePos = OS2->yStrikeoutPosition;
        StrikeSize = OS2->yStrikeoutSize;
      }
      I.StrikeThick = std::max(1, int32_t(std::lround(StrikeSize * Scale)));
      I.StrikeTop = std::clamp(F->FAscent - int32_t(std::lround(StrikePos * Scale)), 0,
                               std::max(0, F->FAscent - I.StrikeThick));
    }
  }

  if (E.Faces.size() > 4 * KeptFaces)
    for (auto It = E.Faces.begin(); It != E.Faces.end();)
      It = It->second.expired() ? E.Faces.erase(It) : std::next(It);
  E.Faces[Key] = F;
  E.Recent.push_front(F);
  if (E.Recent.size() > KeptFaces) E.Recent.pop_back();
  return F;
}

TSize TFontFace::Extent(std::string_view Text) {
  TFontEngine& E = TFontEngine::Instance();
  std::lock_guard<std::mutex> Guard(E.Lock);
  int64_t Width = 0;
  if (FImpl->Face)
    for (std::size_t i = 0; i < Text.size();)
      Width += FImpl->Glyph(NextChar(Text, i)).Advance;
  return TSize{int32_t(std::min<int64_t>(Width, INT32_MAX)), FAscent + FDescent};
}

void TFontFace::Draw(TBitmap& Bmp, int32_t X, int32_t Y, std::string_view Text, TColor Color) {
  TFontEngine& E = TFontEngine::Instance();
  std::lock_guard<std::mutex> Guard(E.Lock);
  TImpl& I = *FImpl;
  if (!I.Face) return;
  const uint32_t Fg = detail::SwapRB(ColorToRGB(Color));
  const uint32_t Value = Bmp.ColorToPixel(Color);
  // Baseline origin: the top left corner moved down by the ascent, turned.
  const double OX = X + FAscent * I.Sin, OY = Y + FAscent * I.Cos;
  int64_t Pen = 0;
  for (std::size_t i = 0; i < Text.size();) {
    const TImpl::TGlyph G = I.Glyph(NextChar(Text, i));
    if (G.Width > 0 && G.Rows > 0) {
      const int64_t PX = std::llround(OX + double(Pen) * I.Cos);
      const int64_t PY = std::llround(OY - double(Pen) * I.Sin);
      I.Blit(Bmp, G, PX + G.Left, PY - G.Top, Fg, Value);
    }
    Pen += G.Advance;
  }
  const auto Len = int32_t(std::min<int64_t>(Pen, INT32_MAX));
  if (I.Underline) I.Line(Bmp, X, Y, Len, I.UnderTop, I.UnderThick, Value);
  if (I.StrikeOut) I.Line(Bmp, X, Y, Len, I.StrikeTop, I.StrikeThick, Value);
}

} // namespace qeb
