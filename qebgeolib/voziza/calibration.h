// Map calibration: the calibration record, its points and models, the
// conversions between image pixels and the earth, and the calibration files.
// TVozIzaCalibration holds the calibration side of the map control TVozIza,
// which derives from it; it needs no drawing surface.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/companion/mathlib/matrix.h"
#include "qebgeolib/geobasics/ellipsoids.h"
#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/textfile.h"
#include "qebgeolib/platform/base/types.h"

namespace qeb {

// The exception of the map module (calibration, view, landmarks, symbols).
class EQEBVozIzaError : public EQEBError {
public:
  using EQEBError::EQEBError;
};

enum TGratLineKind : uint8_t { gtlMeridian, gtlParallel };

enum TCorners : uint8_t { gcoTopLeft, gcoBottomLeft, gcoBottomRight, gcoTopRight };

enum TCalibModel : uint8_t {
  cmParabolicIp,       // graticule lines, each a parabola; interpolated between lines
  cmBiquadraticPn,     // quads; second-order polynomial both ways
  cmConicConformal,    // quads; latitude from the distance to a cone apex, longitude from the angle
  cmMillerCylindrical, // quads; linear in x and in the Miller ordinate
  cmEquiRect,          // quads; affine
  cmUTM,               // quads holding UTM northing and easting; affine
  cmUndefined,         // no calibration; conversions report invalid
};

// The model names of the calibration files, indexed by TCalibModel.
inline constexpr std::string_view CalibModelNames[] = {
    "parabolicip", "biquadraticpn", "conicconformal", "millercylindrical",
    "equirect",    "utm",           "undefined"};

// The record limits.
inline constexpr int32_t MaxCalLines = 25;
inline constexpr int32_t MaxCalLinePoints = 10;
inline constexpr int32_t MaxCalQuads = 200;

// A fixed array indexed 1..N, as the calibration record counts its lines,
// points and quads. Builds without NDEBUG check the index and throw
// std::out_of_range; release builds trust the caller.
template <class T, int32_t N> struct TArray1 {
  T Items[N] = {};

  constexpr T& operator[](int32_t I) { return Items[Offset(I)]; }
  constexpr const T& operator[](int32_t I) const { return Items[Offset(I)]; }
  static constexpr int32_t Count() { return N; }
  friend constexpr bool operator==(const TArray1&, const TArray1&) = default;

private:
  static constexpr int32_t Offset(int32_t I) {
#ifndef NDEBUG
    if (I < 1 || I > N) throw std::out_of_range("TArray1: index out of range");
#endif
    return I - 1;
  }
};

struct TCoords {
  double Latit = 0;
  double Longit = 0;
  friend bool operator==(const TCoords&, const TCoords&) = default;
};

// The geographic positions of the four image corners, indexed by TCorners.
using TCornerArray = std::array<TCoords, 4>;

// One point-based calibration point. Under cmUTM Latitude holds the northing
// and Longitude the easting, in metres.
struct TCalQuad {
  double Latitude = 0;
  double Longitude = 0;
  int32_t MapX = 0;
  int32_t MapY = 0;
  friend bool operator==(const TCalQuad&, const TCalQuad&) = default;
};

// One graticule line: a meridian (LineValue = longitude) or a parallel
// (LineValue = latitude) with up to 10 image points on it.
struct TCalibLine {
  TGratLineKind LineType = gtlMeridian;
  double LineValue = 0;
  int32_t NumPoints = 0;
  TArray1<TPoint, MaxCalLinePoints> CalPoints;
  friend bool operator==(const TCalibLine&, const TCalibLine&) = default;
};

// The whole calibration of one map image. Pixel positions are image pixels of
// the full-resolution image: origin top left, y downwards.
struct TCalibData {
  std::string MapFName;
  std::string Caption;
  TCornerArray Corners = {};
  double Resolution = 0; // metres per pixel along the horizontal middle line; 0 = not computed
  int32_t NumCalLines = 0;
  TArray1<TCalibLine, MaxCalLines> CalLines;
  int32_t NumCalQuads = 0;
  TArray1<TCalQuad, MaxCalQuads> CalQuads;
  int32_t UTMZone = 0; // 1..60; -1 after ClearCalibData
  bool UTMSouth = false;
  TGeoEllipsoid Ellipsoid = gelWGS84;
  friend bool operator==(const TCalibData&, const TCalibData&) = default;
};

// One row of CalibResiduals: a quad, where the calibration puts its
// coordinates, and the stored pixel minus that position.
struct TCalibResidual {
  int32_t Index = 0; // 1-based quad index
  TCalQuad Quad;
  double CalcX = 0; // pixel computed from the quad's coordinates, unrounded
  double CalcY = 0;
  double DX = 0; // MapX - CalcX
  double DY = 0; // MapY - CalcY
  bool Valid = false;
};

// The corner test: true when the position lies strictly inside the convex
// quadrilateral of the corners (either orientation); a position on an edge or
// at a corner is outside.
bool PositionInMap(double Latit, double Longit, const TCornerArray& Corners);

// Writes one calibration to a text file open for output, in the layout of the
// calibration files (CR LF lines, Windows-1252); Header adds the XML
// declaration line.
void WriteRawCalDataToOpenXMLFile(TTextFile& F, bool Header, const std::string& DataID,
                                  const TCalibData& CalData, TCalibModel Model);

// The stand-alone readers: find the calibration with identifier DataID (empty:
// the first), letter case ignored, and fill CalData and Model without fitting
// anything or loading an image. Only NumCalLines is reset; every other field
// keeps what the caller put there until the file sets it. False when the file
// cannot be opened, the stream is missing or no calibration matches. Errors in
// the file raise EQEBVozIzaError with the prefix "ParseCalibData: ".
bool ParseCalibData(const std::string& FileName, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model);
bool ParseCalibData(TMemoryStream* InStream, const std::string& DataID, TCalibData& CalData,
                    TCalibModel& Model);

// The calibration state of a map control with its operations. The owner
// supplies what lies outside the calibration through the hooks below: its
// component name for messages, the size and name of the map image, loading
// an image named by a calibration file, and showing a changed calibration.
// The state is copied with the class's copy assignment (for the control's
// Assign).
//
// Every error raises EQEBVozIzaError with the message
// Component "<name>": <text>. Conversions never raise; NaN or out-of-range
// input gives an invalid result, never undefined behaviour. Like the control,
// an object is used from one thread at a time: even the const conversions
// keep the last UTM result for the next call.
class TVozIzaCalibration {
public:
  TVozIzaCalibration();
  virtual ~TVozIzaCalibration() = default;

  // ---- Calibration points.

  // A graticule point (cmParabolicIp only): joins the first line of this kind
  // and exactly this value, or starts a new line (at most 25 lines of at most
  // 10 points). Runs the model recalculation; true when the point was stored
  // (a value that is not finite never is).
  bool AddCalibPoint(TGratLineKind GratLineKind, double LineValue, int32_t PixPosX,
                     int32_t PixPosY);
  // A geographic quad (cmBiquadraticPn, cmConicConformal, cmMillerCylindrical,
  // cmEquiRect); at most 200 quads, with finite coordinates. Fits the model;
  // true when stored.
  bool AddCalibPoint(double Latit, double Longit, int32_t PixPosX, int32_t PixPosY);
  // A UTM quad (cmUTM only). Zone and Hemisphere must equal UTMZone and
  // UTMHemisphere, else ": UTM zone parameter changed".
  bool AddCalibPoint(double Northing, double Easting, int32_t Zone, THemisphere Hemisphere,
                     int32_t PixPosX, int32_t PixPosY);
  // Removes the graticule point at exactly this position of this line
  // (cmParabolicIp only); no undo record. True when a point was removed.
  bool RemoveCalibPoint(TGratLineKind GratLineKind, double LineValue, int32_t PixPosX,
                        int32_t PixPosY);
  // Removes the calibration point nearest to the pixel under the current
  // model family and keeps it for RestoreLastDeletedCalPoint.
  bool RemoveCalibPoint(int32_t PixPosX, int32_t PixPosY);
  void RestoreLastDeletedCalPoint();
  // Empties lines and quads, corners and resolution; zone -1, north, WGS 84;
  // zeroes the graticule, affine and biquadratic parameters (the Miller and
  // conic ones stay); repaints. Map name, caption, model and undo records stay.
  void ClearCalibData();
  // Rebuilds the graticule matrix, fits the model, refreshes corners and
  // resolution, and repaints.
  void RecalcCalibration();

  TCalibModel GetCalibModel() const { return FCalibModel; }
  // Stores the model (a value outside the enumeration counts as cmUndefined)
  // and recalculates.
  void SetCalibModel(TCalibModel Value);
  int32_t GetUTMZone() const { return FCalibData.UTMZone; }
  // Stores zones 1..60 and ignores every other value; recalculates nothing.
  void SetUTMZone(int32_t Value);
  THemisphere GetUTMHemisphere() const { return FCalibData.UTMSouth ? hemiSouth : hemiNorth; }
  void SetUTMHemisphere(THemisphere Value) { FCalibData.UTMSouth = Value == hemiSouth; }
  TCalibData GetCalibData() const { return FCalibData; }
  // Stores the record and recalculates nothing. Counts beyond the limits are
  // cut to them, and an unknown ellipsoid becomes gelWGS84, so the record
  // always satisfies the invariants the other operations rely on.
  void SetCalibData(const TCalibData& Value);
  std::string GetMapCaption() const { return FCalibData.Caption; }
  void SetMapCaption(const std::string& Value) { FCalibData.Caption = Value; }

  // ---- Model fits. Each reads FCalibData and replaces only its own
  // parameter set; none raises.

  // The graticule matrix of the lines; true when at least two parallels and
  // two meridians have three or more points.
  bool RecalcGratMat();
  void CalcBiquadraticCalibration();
  void CalcEquiRectCalibration(); // cmEquiRect and cmUTM
  void CalcMillerCylCalibration();
  void CalcConicCalibration();

  // ---- Conversions (image pixels <-> degrees; UTM in metres).

  double CalcLatitude(int32_t x, int32_t y, bool& valid) const;
  double CalcLatitude(TPoint APoint, bool& valid) const {
    return CalcLatitude(APoint.X, APoint.Y, valid);
  }
  double CalcLongitude(int32_t x, int32_t y, bool& valid) const;
  double CalcLongitude(TPoint APoint, bool& valid) const {
    return CalcLongitude(APoint.X, APoint.Y, valid);
  }
  // Pixel of a position, rounded (halves to even). False under cmUndefined (x
  // and y unchanged), for a graticule that cannot place the position, under
  // cmConicConformal with a zero slope (x = y = 0), and whenever a computed
  // coordinate is not finite or lies outside the 32-bit range (x and y then
  // saturate; NaN gives 0). Under cmUTM the position is projected into the
  // calibration's own zone and hemisphere when UTMZone is 1..60.
  bool CalcPixelCoords(double Lat, double Long, int32_t& x, int32_t& y) const;
  // Pixel of a UTM position (cmUTM only, else false with 0, 0).
  bool CalcPixelCoordsUTM(double Northing, double Easting, int32_t& x, int32_t& y) const;
  // The row where the line of constant northing crosses column x, and the
  // column where the line of constant easting crosses row y (UTM grid lines).
  int32_t CalcUTMyFromNorthingX(double Northing, int32_t x) const;
  int32_t CalcUTMxFromEastingY(double Easting, int32_t y) const;
  bool IsPositionWithinMap(double Latit, double Longit) const;
  // Corners and resolution of the map image from the current model.
  void CalcExtentsAndResolution();
  // Root mean square of (recomputed - stored) pixel per axis over the quads;
  // 0 under cmParabolicIp and cmUndefined.
  void CalibQuality(double& QualX, double& QualY) const;
  // Per quad under the quad models (empty otherwise), the stored pixel minus
  // the unrounded pixel recomputed from its coordinates; RMS is the root mean
  // square of the residual lengths over the valid rows (0 when none).
  std::vector<TCalibResidual> CalibResiduals(double& RMS) const;

  // ---- Calibration files.

  // Creates or overwrites the file and writes the calibration with the XML
  // declaration.
  void SaveCalDataAsXML(const std::string& FileName, const std::string& DataID);
  // Writes the stream form at the stream's position.
  void SaveCalDataAsXML(TStream& OutStream, const std::string& DataID);
  // Refreshes corners and resolution, takes the map image name, and writes.
  void WriteCalDataToOpenXMLFile(TTextFile& F, bool Header, const std::string& DataID);
  // Reads the calibration DataID (empty: the first); false when the file
  // cannot be opened (nothing changes) or no calibration matches. The result
  // of a load is whether the file gave a usable graticule, so quad
  // calibrations load with false. A wrong graticule line type, a point count
  // that differs from the groups given, and more than 25 lines, 10 points in
  // a line, 200 quads or 4 corners raise EQEBVozIzaError; the refused element
  // is not stored and what was read before it stays.
  bool LoadCalDataFromXML(const std::string& FName, const std::string& DataID);
  bool LoadCalDataFromXML(TMemoryStream& InStream, const std::string& DataID);
  bool ReadCalDataFromOpenXMLFile(TTextFile& F, const std::string& DataID);
  const std::string& GetCalibDataFile() const { return FCalDatName; }
  // Loads an existing file (first calibration) and keeps its name; a missing
  // file empties the map image instead. Repaints in both cases.
  void SetCalDatName(const std::string& Value);
  // The same property under the field's name and under the property's name.
  const std::string& GetCalDatName() const { return FCalDatName; }
  void SetCalibDataFile(const std::string& Value) { SetCalDatName(Value); }

protected:
  TVozIzaCalibration(const TVozIzaCalibration&) = default;
  TVozIzaCalibration& operator=(const TVozIzaCalibration&) = default;

  // ---- Hooks of the owner.

  // The component name for the Component "Name": prefix of messages.
  virtual std::string CalibComponentName() const = 0;
  // Size of the map image in pixels (0 without an image).
  virtual int32_t GetMapImgWidth() const = 0;
  virtual int32_t GetMapImgHeight() const = 0;
  // Name of the map image, written into the calibration files.
  virtual std::string GetMapImgFile() const = 0;
  // Loads the image a calibration file names.
  virtual void SetMapImgName(const std::string& Name) = 0;
  // Forgets the map image (name empty, size 0 x 0), for a calibration file
  // that does not exist.
  virtual void ClearMapImage() = 0;
  // The calibration changed in a way the map shows (points, model, a file
  // loaded): the control repaints.
  virtual void CalibrationChanged() = 0;

  // Raises EQEBVozIzaError with the component prefix; Text starts with ": ".
  [[noreturn]] void CalibError(std::string_view Text) const;

  // ---- Calibration state.

  TCalibModel FCalibModel = cmUndefined;
  TCalQuad FBiQuadOops;   // the quad last removed by position
  TCalibLine FParaIpOops; // the graticule point last removed by position, in CalPoints[1]
  bool FRestoreBiQuadOK = false;
  bool FRestoreParaIpOK = false;
  TCalibData FCalibData;

  // ---- Model parameters. Arrays are indexed from 1: first the output, then
  // the coefficient.

  // Row k belongs to line k: column 1 is 1 for a parallel and 0 for a meridian,
  // column 2 the line value, columns 3..5 the parabola c0, c1, c2 (parallel
  // y = c0 + c1·x + c2·x², meridian x = c0 + c1·y + c2·y²). A line with fewer
  // than three points has no parabola: its columns 3..5 hold NaN and the
  // conversions pass over it. 5 x 1 zeros without a usable graticule.
  TMatrix FGratMat;
  TArray1<TArray1<double, 3>, 2> FEquRectSPPL; // geographic -> pixel, affine
  TArray1<TArray1<double, 3>, 2> FEquRectPLSP; // pixel -> geographic, affine
  TArray1<TArray1<double, 6>, 2> FCalParsPLSP; // pixel -> geographic, biquadratic
  TArray1<TArray1<double, 6>, 2> FCalParsSPPL; // geographic -> pixel, biquadratic
  // [1][1] = ky, [1][2] = dy (y = ky·m + dy, m the Miller ordinate);
  // [2][1] = kx, [2][2] = dx (x = kx·λ in radians + dx).
  TArray1<TArray1<double, 2>, 2> FMillercylPar;
  // [1], [2]: cone apex (x0, y0) in whole pixels; φ = [3]·r + [4];
  // λ = [5]·θ + [6] with θ = arctan((x − x0)/(y − y0)).
  TArray1<double, 6> FConicPars;

  std::string FCalDatName;

private:
  // The model recalculation: optionally the graticule matrix, the fit of the
  // current model, corners and resolution, optionally the repaint.
  void ModelRecalculation(bool GratMat, bool Repaint);
  void FitCurrentModel();
  void AppendQuad(double A, double B, int32_t PixPosX, int32_t PixPosY, bool& Stored);
  void RemoveGratPoint(int32_t Line, int32_t Point);
  // The unrounded pixel of a position under a quad model; false when the
  // model cannot place it.
  bool QuadModelPixel(double A, double B, double& X, double& Y) const;
  bool ParabolicPixel(double Lat, double Long, int32_t& x, int32_t& y) const;
  double ParabolicValue(double Along, double Across, bool Parallels, bool& valid) const;
  // Row R's parabola at T: c0 + c1·T + c2·T².
  double GratCurve(int32_t R, double T) const {
    return FGratMat.GetVal(3, R) + FGratMat.GetVal(4, R) * T + FGratMat.GetVal(5, R) * T * T;
  }
  void UTMPixelToLatLong(double X, double Y, double& Lat, double& Long) const;

  // The last UTM pixel conversion with everything it depends on.
  struct TUTMCache {
    bool Filled = false;
    double N = 0, E = 0;
    int32_t Zone = 0;
    bool South = false;
    TGeoEllipsoid Ellipsoid = gelWGS84;
    double Lat = 0, Long = 0;
  };
  mutable TUTMCache FUTMCache;
  bool FinishLoad();
};

} // namespace qeb
