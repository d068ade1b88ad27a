// Fuzz target of the calibration readers, built twice: with
// QEB_FUZZ_CALIB_FILE=1 for the file forms (LoadCalDataFromXML and
// ParseCalibData on a text file), with 0 for the memory-stream forms.
//
// The first input byte picks the data identifier, the rest is the file. Each
// run reads with the control and with ParseCalibData and requires:
// - only EQEBVozIzaError escapes, and the record keeps its limits (control
//   lines hold 3..10 points);
// - every conversion, the quality figures and the corners run on whatever
//   was read;
// - what the control then writes reads back with the same points and model;
// - for plain ASCII input the file and the stream forms agree.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "qebgeolib/voziza/calibration.h"

#ifndef QEB_FUZZ_CALIB_FILE
#error "define QEB_FUZZ_CALIB_FILE to 1 (file forms) or 0 (stream forms)"
#endif

namespace {

using namespace qeb;

class TFuzzCalib : public TVozIzaCalibration {
protected:
  std::string CalibComponentName() const override { return "fuzz"; }
  int32_t GetMapImgWidth() const override { return 1000; }
  int32_t GetMapImgHeight() const override { return 800; }
  std::string GetMapImgFile() const override { return "map.jpg"; }
  void SetMapImgName(const std::string&) override {}
  void ClearMapImage() override {}
  void CalibrationChanged() override {}

public:
  const TCalibData& Data() const { return FCalibData; }
};

void Require(bool Condition) {
  if (!Condition) __builtin_trap();
}

void CheckLimits(const TCalibData& D, bool Control) {
  Require(D.NumCalLines >= 0 && D.NumCalLines <= MaxCalLines);
  Require(D.NumCalQuads >= 0 && D.NumCalQuads <= MaxCalQuads);
  for (int32_t K = 1; K <= D.NumCalLines; ++K) {
    const int32_t N = D.CalLines[K].NumPoints;
    Require(N >= (Control ? 3 : 0) && N <= MaxCalLinePoints);
  }
  Require(D.Ellipsoid < GeoEllipsoidCount);
}

void Exercise(TFuzzCalib& C) {
  for (int32_t Y : {-5, 0, 400, 800, 2147483647})
    for (int32_t X : {-2147483647 - 1, 0, 500, 1000}) {
      bool V = false;
      const double Lat = C.CalcLatitude(X, Y, V);
      const double Long = C.CalcLongitude(X, Y, V);
      int32_t Px = 0, Py = 0;
      C.CalcPixelCoords(Lat, Long, Px, Py);
      C.CalcPixelCoordsUTM(Lat, Long, Px, Py);
      C.CalcUTMyFromNorthingX(Lat, X);
      C.CalcUTMxFromEastingY(Long, Y);
      C.IsPositionWithinMap(Lat, Long);
    }
  double QX = 0, QY = 0;
  C.CalibQuality(QX, QY);
  C.CalibResiduals(QX);
  C.CalcExtentsAndResolution();
}

bool SamePoints(const TCalibData& A, const TCalibData& B) {
  if (A.NumCalLines != B.NumCalLines || A.NumCalQuads != B.NumCalQuads) return false;
  for (int32_t K = 1; K <= A.NumCalLines; ++K) {
    const TCalibLine &L = A.CalLines[K], &M = B.CalLines[K];
    if (L.LineType != M.LineType || L.NumPoints != M.NumPoints) return false;
    for (int32_t P = 1; P <= L.NumPoints; ++P)
      if (!(L.CalPoints[P] == M.CalPoints[P])) return false;
  }
  for (int32_t I = 1; I <= A.NumCalQuads; ++I)
    if (A.CalQuads[I].MapX != B.CalQuads[I].MapX || A.CalQuads[I].MapY != B.CalQuads[I].MapY)
      return false;
  return true;
}

// Input a file reader and a stream reader see alike: printable ASCII, tabs
// and line ends (CR only before LF, which the two split differently).
[[maybe_unused]] bool Plain(std::string_view S) {
  for (std::size_t I = 0; I < S.size(); ++I) {
    const unsigned char C = static_cast<unsigned char>(S[I]);
    if (C == '\r' && I + 1 < S.size() && S[I + 1] == '\n') continue;
    if (C != '\t' && C != '\n' && (C < 32 || C > 126)) return false;
  }
  return true;
}

struct TParseResult {
  bool OK = false;
  std::string Error;
  TCalibData Data;
  TCalibModel Model = cmUndefined;
};

TParseResult ParseStream(std::string_view Text, const std::string& Id) {
  TMemoryStream M;
  M.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  M.SetPosition(0);
  TParseResult R;
  try {
    R.OK = ParseCalibData(&M, Id, R.Data, R.Model);
  } catch (const EQEBVozIzaError& E) {
    R.Error = E.what();
  }
  return R;
}

#if QEB_FUZZ_CALIB_FILE
std::string TempName(const char* Tag) {
  return "/tmp/fuzz_calibration_" + std::to_string(getpid()) + "_" + Tag + ".xml";
}

void WriteFile(const std::string& Name, std::string_view Bytes) {
  FILE* F = std::fopen(Name.c_str(), "wb");
  Require(F != nullptr);
  Require(std::fwrite(Bytes.data(), 1, Bytes.size(), F) == Bytes.size());
  std::fclose(F);
}

TParseResult ParseFile(const std::string& Name, const std::string& Id) {
  TParseResult R;
  try {
    R.OK = ParseCalibData(Name, Id, R.Data, R.Model);
  } catch (const EQEBVozIzaError& E) {
    R.Error = E.what();
  }
  return R;
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  static const std::string Ids[] = {"", "a", "B", "id"};
  const std::string& Id = Ids[Data[0] % 4];
  const std::string_view Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);

  TFuzzCalib C;
#if QEB_FUZZ_CALIB_FILE
  const std::string In = TempName("in"), Out = TempName("out");
  WriteFile(In, Text);
  try {
    C.LoadCalDataFromXML(In, Id);
  } catch (const EQEBVozIzaError&) {
  }
  const TParseResult P = ParseFile(In, Id);
  if (Plain(Text)) {
    const TParseResult S = ParseStream(Text, Id);
    Require(S.OK == P.OK && S.Error == P.Error && S.Model == P.Model);
    Require(SamePoints(S.Data, P.Data) && S.Data.Caption == P.Data.Caption &&
            S.Data.MapFName == P.Data.MapFName);
  }
#else
  TMemoryStream M;
  M.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  M.SetPosition(0);
  try {
    C.LoadCalDataFromXML(M, Id);
  } catch (const EQEBVozIzaError&) {
  }
  const TParseResult P = ParseStream(Text, Id);
#endif
  CheckLimits(C.Data(), true);
  CheckLimits(P.Data, false);
  Exercise(C);

  // What the control writes reads back with its points and model.
#if QEB_FUZZ_CALIB_FILE
  C.SaveCalDataAsXML(Out, Id);
  const TParseResult Back = ParseFile(Out, Id);
#else
  TMemoryStream W;
  C.SaveCalDataAsXML(W, Id);
  const TParseResult Back = ParseStream(
      std::string_view(reinterpret_cast<const char*>(W.Memory()), static_cast<size_t>(W.GetSize())),
      Id);
#endif
  Require(Back.OK && Back.Error.empty());
  Require(Back.Model == C.GetCalibModel());
  Require(SamePoints(Back.Data, C.Data()));
  return 0;
}
