#include "qebgeolib/voziza/landmarks.h"

#include "qebgeolib/platform/base/sysutils.h"

namespace qeb {

TLandMarkElement LMTypeFromName(std::string_view Name, TLandMarkElement Fallback) {
  for (int K = 0; K < LandMarkElementCount; ++K)
    if (SameText(Name, LMTypeNames[K])) return TLandMarkElement(K);
  return Fallback;
}

TLandMark DefaultLandMark() {
  TLandMark LM;
  LM.SymbolProps = {lmCross, 7, 0x00FF0000, 0x00FFFFFF, false, 0, 10};
  LM.Caption.Size = 8;
  LM.Caption.FontName = "MS Sans Serif";
  LM.Caption.FGColor = 0x00000000;
  LM.Caption.BGColor = 0x00FFFFFF;
  LM.Caption.Transparent = true;
  LM.Caption.dy = 8;
  LM.Caption.HAlignment = lmhCenter;
  LM.Caption.VAlignment = lmvTop;
  return LM;
}

} // namespace qeb
