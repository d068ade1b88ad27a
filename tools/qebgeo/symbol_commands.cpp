// qebgeo subcommands of the symbol repository and the generated maps:
// `qebgeo symbols ...` over symbol files (list, preview as a PNG), and
// `qebgeo empty-map`, which writes a generated map for a box and can draw the
// towns of a database into it with a symbol of a symbol file. Their part of
// the demo: a symbol file written and read back, and a generated map of
// Europe with the capitals.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/geodb/geodb.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/canvas.h"
#include "qebgeolib/platform/graphics/pngimage.h"
#include "qebgeolib/voziza/symbols.h"
#include "qebgeolib/voziza/view.h"
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSymbolsHelp =
    "qebgeo symbols SUBCOMMAND FILE [ARGUMENTS]; FILE is a symbol file, ID the data\n"
    "identifier of one set in it (the first set when left out)\n"
    "  list FILE [ID]                one line a symbol: number, kind, colours, size,\n"
    "                                direction, arrow length, fill, category, name\n"
    "  preview FILE [ID] OUT.png     one row a symbol: the symbol as a landmark draws it,\n"
    "                                its number and name beside it\n";

// Preview rows: a symbol cell is at least kMinCell and at most kMaxCell
// pixels square (a larger symbol is cut at its cell); the whole image at
// most kMaxPreviewHeight pixels tall.
constexpr int32_t kMinCell = 20;
constexpr int32_t kMaxCell = 128;
constexpr int32_t kMaxPreviewHeight = 32768;
constexpr int32_t kPad = 8;

std::string IdText(const std::string& Id) {
  return Id.empty() ? std::string() : " \"" + Id + "\"";
}

void LoadSymbolSet(TSymbolRepository& R, const std::string& File, const std::string& Id) {
  CheckReadable(File);
  if (!R.LoadFromFile(File, Id))
    throw std::runtime_error("no symbols" + IdText(Id) + " in \"" + File + "\"");
}

std::string SymbolLine(int32_t Index, const TSymbol& S) {
  const TSymbolProperties& P = S.Properties;
  return std::to_string(Index) + "  " + std::string(LMTypeName(P.Kind)) + "  fg " +
         ColourText(P.FGColor) + "  bg " + ColourText(P.BGColor) + "  size " +
         std::to_string(P.Size) + "  dir " + std::to_string(P.Direction) + "  length " +
         std::to_string(P.Length) + "  " + (P.Transparent ? "transparent" : "filled") +
         "  category " + std::to_string(S.Category) + "  \"" + S.Name.ToString() + "\"";
}

void DrawSymbol(TCanvas& C, int32_t X, int32_t Y, const TSymbolProperties& P) {
  DrawLandMarkSymbolOnCanvas(C, X, Y, P.Kind, P.FGColor, P.BGColor, P.Size, P.Direction, P.Length,
                             P.Transparent);
}

// The side of a symbol's preview cell: room for how far it reaches from its
// centre (the shaft too, for arrows), within kMinCell..kMaxCell.
int32_t CellSide(const TSymbolProperties& P) {
  const bool Arrow = P.Kind == lmArrowFrom || P.Kind == lmArrowTo;
  const int64_t Reach = std::llabs(int64_t{P.Size}) + (Arrow ? std::llabs(int64_t{P.Length}) : 0);
  return int32_t(std::clamp<int64_t>(2 * Reach + 5, kMinCell, kMaxCell));
}

// A text line's caption: left aligned, vertically centred on its anchor.
TLMTextProperties Label(const std::string& Text, int32_t Points, int32_t dx) {
  TLMTextProperties L = DefaultLandMark().Caption;
  L.Text = TLMText::FromString(Text);
  L.Size = Points;
  L.Transparent = true;
  L.dx = dx;
  L.dy = 0;
  L.HAlignment = lmhLeft;
  L.VAlignment = lmvCenter;
  return L;
}

void SavePng(TBitmap& Bmp, const std::string& Out) {
  TPNGImage Png;
  Png.Assign(&Bmp);
  Png.SaveToFile(Out);
}

// ---- symbols

void CmdList(TArgs A) {
  Need(A, 1, 2);
  TSymbolRepository R(nullptr);
  LoadSymbolSet(R, std::string(A[0]), A.size() > 1 ? std::string(A[1]) : std::string());
  for (int32_t I = 1; I <= R.GetNumEntries(); ++I)
    std::cout << SymbolLine(I, R.GetValues(I)) << '\n';
  std::cout << R.GetNumEntries() << " symbols\n";
}

void CmdPreview(TArgs A) {
  Need(A, 2, 3);
  const std::string File(A[0]), Out(A.back());
  TSymbolRepository R(nullptr);
  LoadSymbolSet(R, File, A.size() > 2 ? std::string(A[1]) : std::string());
  RefuseOutputOnInput(Out, {File});
  const int32_t N = R.GetNumEntries();
  // Measured first, so that a set too large for one image is refused
  // before anything is drawn or written.
  std::vector<int32_t> Rows;
  int64_t Height = kPad * 2;
  int32_t Column = kMinCell;
  for (int32_t I = 1; I <= N && Height <= kMaxPreviewHeight; ++I) {
    Rows.push_back(CellSide(R.GetValues(I).Properties));
    Height += Rows.back();
    Column = std::max(Column, Rows.back());
  }
  if (Height > kMaxPreviewHeight)
    throw std::runtime_error("the preview of " + std::to_string(N) +
                             " symbols would be taller than " + std::to_string(kMaxPreviewHeight) +
                             " pixels");
  TBitmap Measure(1, 1);
  int32_t TextWidth = 0;
  std::vector<std::string> Texts;
  // The font the captions are drawn in.
  Measure.GetCanvas().GetFont().SetName(DefaultLandMark().Caption.FontName);
  Measure.GetCanvas().GetFont().SetSize(9);
  for (int32_t I = 1; I <= N; ++I) {
    Texts.push_back(std::to_string(I) + "  " + R.GetValues(I).Name.ToString());
    TextWidth = std::max(TextWidth, Measure.GetCanvas().TextWidth(Texts.back()));
  }
  TBitmap Img;
  Img.NewImage(kPad * 3 + Column + std::max(TextWidth, 100), int32_t(Height), pf24bit);
  int32_t Y = kPad;
  for (int32_t I = 1; I <= N; ++I) {
    const int32_t Side = Rows[std::size_t(I - 1)];
    // Drawn into a cell of its own, so a large symbol cannot reach its
    // neighbours.
    TBitmap Cell;
    Cell.NewImage(Column, Side, pf24bit);
    DrawSymbol(Cell.GetCanvas(), Column / 2, Side / 2, R.GetValues(I).Properties);
    Img.GetCanvas().Draw(kPad, Y, Cell);
    DrawLandMarkCaption(Img.GetCanvas(), kPad + Column, Y + Side / 2,
                        Label(Texts[std::size_t(I - 1)], 9, kPad));
    Y += Side;
  }
  SavePng(Img, Out);
  std::cout << Out << ": " << Img.GetWidth() << " x " << Img.GetHeight() << " pixels, " << N
            << " symbols\n";
}

void CmdSymbols(TArgs A) {
  if (A.empty()) throw EUsage("a subcommand is needed (qebgeo symbols help)");
  if (A[0] == "help") {
    std::cout << kSymbolsHelp;
    return;
  }
  if (A[0] == "list") return CmdList(A.subspan(1));
  if (A[0] == "preview") return CmdPreview(A.subspan(1));
  throw EUsage("unknown subcommand \"" + std::string(A[0]) + "\" (qebgeo symbols help)");
}

// ---- empty-map

// Draws the towns of Db inside the box of a generated map with symbol Sym,
// with their names when Names; counts them in Drawn.
struct TTownPainter {
  TGeoDB& Db;
  TSymbolProperties Sym;
  bool Names = false;
  int32_t Drawn = 0;

  void operator()(TObject*, TCanvas& C, double LatLo, double LongLo, double LatHi, double LongHi,
                  int32_t W, int32_t H) {
    // The grid left a dashed pen behind; symbols are drawn solid.
    C.GetPen().SetStyle(psSolid);
    C.GetPen().SetWidth(1);
    const TLMTextProperties Caption = Label("", 7, int32_t(std::clamp(Sym.Size, 0, 100)) + 3);
    for (int32_t E : Db.FindItemsInBox(LatLo, LatHi, LongLo, LongHi, gdbKind(gitTown))) {
      const TgdbData D = Db.GetSumdata(E);
      const TSCoords P = ExtractLocation(D);
      // Also passes over coordinates that are not numbers (a damaged file).
      if (!(P.Latit >= LatLo && P.Latit <= LatHi && P.Longit >= LongLo && P.Longit <= LongHi))
        continue;
      const auto [X, Y] = GeneratedMapPixel(LatLo, LongLo, LatHi, LongHi, W, H, P.Latit, P.Longit);
      DrawSymbol(C, X, Y, Sym);
      if (Names) {
        TLMTextProperties T = Caption;
        T.Text = TLMText::FromString(D.Name.ToString());
        DrawLandMarkCaption(C, X, Y, T);
      }
      ++Drawn;
    }
  }
};

void CmdEmptyMap(TArgs A) {
  if (A.size() < 9) throw EUsage("too few arguments");
  const std::string Out(A[0]);
  if (ExtractFileName(StripExtension(Out)).empty())
    throw EUsage("the map needs a file name, not \"" + Out + "\"");
  const double LatLo = ParseLatitude(A[1]), LongLo = ParseLongitude(A[2]);
  const double LatHi = ParseLatitude(A[3]), LongHi = ParseLongitude(A[4]);
  const double dLat = ParseDouble(A[5], "latitude spacing");
  const double dLong = ParseDouble(A[6], "longitude spacing");
  const int32_t W = ParseInt(A[7], "width"), H = ParseInt(A[8], "height");
  std::string DbName, SymFile, SymId;
  int32_t SymNo = 0;
  bool Names = false;
  for (std::size_t K = 9; K < A.size(); ++K) {
    auto Value = [&](const char* What) {
      if (++K >= A.size()) throw EUsage(std::string(What) + " needs a value");
      return std::string(A[K]);
    };
    if (A[K] == "--db")
      DbName = Value("--db");
    else if (A[K] == "--symbols")
      SymFile = Value("--symbols");
    else if (A[K] == "--symid")
      SymId = Value("--symid");
    else if (A[K] == "--symbol")
      SymNo = ParseInt(Value("--symbol"), "symbol number");
    else if (A[K] == "--names")
      Names = true;
    else
      throw EUsage("unknown option \"" + std::string(A[K]) + "\"");
  }
  if (DbName.empty() && (!SymFile.empty() || Names))
    throw EUsage("--symbols and --names go with --db");
  if (SymFile.empty() && (SymNo != 0 || !SymId.empty()))
    throw EUsage("--symid and --symbol go with --symbols");

  TSymbol Sym = DefaultSymbolRecord();
  std::vector<std::string> Inputs;
  if (!SymFile.empty()) {
    TSymbolRepository R(nullptr);
    LoadSymbolSet(R, SymFile, SymId);
    if (SymNo == 0) SymNo = 1;
    if (SymNo < 1 || SymNo > R.GetNumEntries())
      throw EUsage("the symbol must lie in 1.." + std::to_string(R.GetNumEntries()));
    Sym = R.GetValues(SymNo);
    Inputs.push_back(SymFile);
  }
  TGeoDB Db(nullptr);
  Db.SetName("qebgeo");
  if (!DbName.empty()) {
    OpenExistingDb(Db, DbName);
    const std::vector<std::string> Files = DbFiles(Db);
    Inputs.insert(Inputs.end(), Files.begin(), Files.end());
  }
  // The map writes these two, whatever the extension of OUT.
  const std::string Base = StripExtension(Out);
  RefuseOutputOnInput(Base + ".bmp", Inputs);
  RefuseOutputOnInput(Base + ".xml", Inputs);

  TTownPainter Painter{Db, Sym.Properties, Names};
  TVozIza V(nullptr);
  V.SetName("qebgeo");
  V.SetSuppressPaint(true);
  TVozIza::TOnDrawMapDataEvent Draw;
  if (!DbName.empty()) Draw = std::ref(Painter);
  V.CreateAndLoadEmptyMap(Out, LatLo, LongLo, LatHi, LongHi, dLat, dLong, W, H, Draw);
  std::cout << "wrote " << Base << ".bmp and " << Base << ".xml: " << V.GetMapImgWidth() << " x "
            << V.GetMapImgHeight() << " pixels";
  if (!DbName.empty())
    std::cout << ", " << Painter.Drawn << " towns drawn as \"" << Sym.Name.ToString() << "\"";
  std::cout << '\n';
}

} // namespace

TPoint GeneratedMapPixel(double LatLo, double LongLo, double LatHi, double LongHi, int32_t W,
                         int32_t H, double Lat, double Long) {
  return {int32_t(EmptyMapMargin +
                  std::lround((Long - LongLo) / (LongHi - LongLo) * (W - 2 * EmptyMapMargin))),
          int32_t(H - EmptyMapMargin -
                  std::lround((Lat - LatLo) / (LatHi - LatLo) * (H - 2 * EmptyMapMargin)))};
}

void AddSymbolCommands(std::vector<TCommand>& List) {
  List.push_back({"symbols", "symbols SUBCOMMAND FILE [ARGUMENTS]",
                  "symbol files: list, preview (qebgeo symbols help)", CmdSymbols});
  List.push_back(
      {"empty-map",
       "empty-map OUT LAT-LO LONG-LO LAT-HI LONG-HI DLAT DLONG WIDTH HEIGHT [--db DB "
       "[--names] [--symbols FILE [--symid ID] [--symbol N]]]",
       "write a generated map (OUT.bmp and its calibration OUT.xml) for a box with grid lines "
       "every DLAT and DLONG degrees; the towns of a database drawn into it with symbol N of a "
       "symbol file",
       CmdEmptyMap});
}

void DemoSymbols() {
  Heading("Map control: symbols, and a generated map of Europe with the capitals");
  const fs::path Folder = fs::absolute("qebgeo-demo-maps");
  fs::create_directories(Folder);
  const std::string SymFile = (Folder / "symbols.xml").string();
  {
    TSymbolRepository R(nullptr);
    R.SetNumEntries(4);
    auto Set = [&R](int32_t I, TLandMarkElement Kind, TColor Fg, TColor Bg, int32_t Size,
                    const char* Name) {
      TSymbol S = DefaultSymbolRecord();
      S.Properties = {Kind, Size, Fg, Bg, false, 0, 12};
      S.Name = TSymbolName::FromString(Name);
      S.Category = 1;
      R.SetValues(I, S);
    };
    Set(1, lmSquare, 0x000000C0, 0x00FFFFFF, 3, "Capital");
    Set(2, lmCircle, 0x00A04000, 0x00FFFFFF, 4, "Town");
    Set(3, lmArrowTo, 0x00008000, 0x00FFFFFF, 3, "Harbour");
    Set(4, lmSpade, 0x00404040, 0x00C0FFFF, 5, "Summit \"high\"");
    R.StoreOnFile(SymFile, "demo");
    TSymbolRepository Back(nullptr);
    LoadSymbolSet(Back, SymFile, "demo");
    bool Same = Back.GetNumEntries() == R.GetNumEntries();
    for (int32_t I = 1; Same && I <= R.GetNumEntries(); ++I) {
      TSymbol Want = R.GetValues(I);
      // Names are stored with their double quotes as apostrophes.
      std::string Name = Want.Name.ToString();
      std::replace(Name.begin(), Name.end(), '"', '\'');
      Want.Name = TSymbolName::FromString(Name);
      Same = Back.GetValues(I) == Want;
    }
    std::cout << "symbol file " << SymFile << ": read back " << Back.GetNumEntries()
              << (Same ? " symbols, the same\n" : " symbols, DIFFERENT\n");
    if (!Same) throw std::runtime_error("the symbol file did not read back as stored");
  }
  Show("symbols", {"list", SymFile});
  Show("symbols", {"preview", SymFile, (Folder / "symbols.png").string()});

  // The capitals in a database of their own, drawn into a generated map of
  // 35..70 N, 15 W..45 E at 20 pixels a degree (the world map has 5.7).
  std::string Dir = (fs::temp_directory_path() / "qebgeo-demo-XXXXXX").string();
  if (mkdtemp(Dir.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  const std::string Db = Dir + "/capitals";
  const std::string Map = (Folder / "europe-generated").string();
  try {
    Show("db", {"create", Db, "Capitals"});
    Show("db", {"add-capitals", Db});
    Show("empty-map", {Map, "35", "-15", "70", "45", "5", "5", "1260", "760", "--db", Db, "--names",
                       "--symbols", SymFile, "--symid", "demo", "--symbol", "1"});
  } catch (...) {
    fs::remove_all(Dir);
    throw;
  }
  fs::remove_all(Dir);
  // The control's own graticule over the generated one shows the calibration
  // agrees with the drawing.
  Show("render", {Map + ".xml", (Folder / "europe-generated.png").string(), "--mag", "1", "--size",
                  "1260", "760", "--grat", "lines", "--dist", "5"});
}

} // namespace qeb::cli
