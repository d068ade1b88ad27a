// Fuzz target of the landmark file reader. The first input byte picks the
// data identifier, the rest is the file. Each run requires:
// - only the module's and the file layer's errors escape;
// - the list is consistent: count within the capacity, the capacity a
//   multiple of 1000 that is 1000 for up to 1000 landmarks;
// - every landmark read draws, symbol and caption, on a small bitmap and in
//   a repaint of a calibrated control;
// - what the control writes reads back into as many landmarks at the same
//   positions.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/bitmap.h"
#include "qebgeolib/voziza/view.h"

namespace {

using namespace qeb;

void Require(bool Condition) {
  if (!Condition) __builtin_trap();
}

std::string TempName(const char* Tag) {
  return "/tmp/fuzz_landmarks_" + std::to_string(getpid()) + "_" + Tag + ".xml";
}

void WriteFile(const std::string& Name, const uint8_t* Data, std::size_t Size) {
  FILE* F = std::fopen(Name.c_str(), "wb");
  Require(F != nullptr);
  Require(std::fwrite(Data, 1, Size, F) == Size);
  std::fclose(F);
}

void CheckList(const TVozIza& V) {
  const int32_t N = V.GetNumLandMarks(), Cap = V.GetLandMarkCapacity();
  Require(N >= 0 && N <= Cap && Cap % 1000 == 0 && Cap >= 1000);
  Require(N > 1000 || Cap == 1000);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  static const char* const Ids[] = {"", "a", "B", "set1", " x "};
  const std::string Id = Ids[Data[0] % 5];
  const std::string In = TempName("in"), Out = TempName("out");
  WriteFile(In, Data + 1, Size - 1);

  TVozIza V(nullptr);
  V.SetBounds(0, 0, 64, 48);
  TBitmap Map;
  Map.NewImage(64, 48, pf24bit, true);
  V.SetMapBitMap(&Map);
  V.SetCalibModel(cmEquiRect);
  V.AddCalibPoint(60, -10, 0, 0);
  V.AddCalibPoint(40, -10, 0, 48);
  V.AddCalibPoint(40, 20, 64, 48);
  V.AddCalibPoint(60, 20, 64, 0);
  V.SetSuppressPaint(true);
  bool Read = false;
  try {
    Read = V.LoadLandMarks(In, Id);
  } catch (const EQEBVozIzaError&) {
    // running out of memory: what was read stays
  }
  CheckList(V);
  if (V.GetNumLandMarks() > 0) V.SetHighLightLandMark(V.GetNumLandMarks());

  TBitmap Canvas;
  Canvas.NewImage(40, 30, pf24bit, true);
  for (int32_t I = 1; I <= V.GetNumLandMarks() && I <= 64; ++I) {
    const TLandMark& LM = V.GetLandMarkData(I);
    const TSymbolProperties& S = LM.SymbolProps;
    DrawLandMarkSymbolOnCanvas(Canvas.GetCanvas(), 20, 15, S.Kind, S.FGColor, S.BGColor, S.Size,
                               S.Direction, S.Length, S.Transparent);
    DrawLandMarkCaption(Canvas.GetCanvas(), 20, 15, LM.Caption);
  }
  V.SetSuppressPaint(false); // the pass and the highlight over every landmark

  if (Read) {
    V.SaveLandmarks(Out, Id);
    TVozIza Back(nullptr);
    Require(Back.LoadLandMarks(Out, Id));
    Require(Back.GetNumLandMarks() == V.GetNumLandMarks());
    for (int32_t I = 1; I <= V.GetNumLandMarks(); ++I) {
      Require(Back.GetLandMarkData(I).Latitude == V.GetLandMarkData(I).Latitude);
      Require(Back.GetLandMarkData(I).Longitude == V.GetLandMarkData(I).Longitude);
    }
    std::remove(Out.c_str());
  }
  std::remove(In.c_str());
  return 0;
}
