// TVozIza: creation, assignment, the map image (loading, taking over,
// saving, renaming) and the appearance properties.
#include "qebgeolib/voziza/view.h"

#include <algorithm>
#include <cmath>

#include "qebgeolib/companion/corelib/filesys.h"
#include "qebgeolib/companion/corelib/stringl.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/graphics/jpegimage.h"

namespace qeb {

TVozIza::TVozIza(TComponent* AOwner) : TCustomControl(AOwner) {
  // Paint covers the whole surface; the framework need not fill it first.
  SetControlStyle(GetControlStyle() | csOpaque);
  SetBounds(GetLeft(), GetTop(), 500, 400);
  ClearZoomHistory();
  AuxBmp.SetPixelFormat(pf15bit);
  ResetLandMarkList();
  FLMClassVisible.fill(true);
}

TVozIza::~TVozIza() = default;

void TVozIza::Assign(const TPersistent* Source) {
  const auto* Src = dynamic_cast<const TVozIza*>(Source);
  if (!Src) {
    TCustomControl::Assign(Source);
    return;
  }
  if (Src == this) return;
  AssignLandMarks(*Src); // first: when it runs out of memory nothing has changed
  AuxBmp.Assign(&Src->AuxBmp);
  GrafBmp.Assign(&Src->GrafBmp);
  FCache.Assign(Src->FCache);
  // The calibration record, model, undo data, every model parameter and the
  // calibration file name.
  TVozIzaCalibration::operator=(*Src);

  FCacheMagLimit = Src->FCacheMagLimit;
  FColorBakGnd = Src->FColorBakGnd;
  FFrameStyle = Src->FFrameStyle;
  FFrameColor = Src->FFrameColor;
  FColorGratLine = Src->FColorGratLine;
  FColorGratPoints = Src->FColorGratPoints;
  FColBlackLine = Src->FColBlackLine;
  FColGrayLine = Src->FColGrayLine;
  FColWhiteLine = Src->FColWhiteLine;
  FEmptyMsg = Src->FEmptyMsg;
  FMapImgName = Src->FMapImgName;
  FMapImgWidth = Src->FMapImgWidth;
  FMapImgHeight = Src->FMapImgHeight;
  FMagnify = Src->FMagnify;
  FShowGrat = Src->FShowGrat;
  FTopLeft = Src->FTopLeft;
  FSuppressPaint = Src->FSuppressPaint;
  FConfinePan = Src->FConfinePan;
  FMouseAction = Src->FMouseAction;
  FAntiAlias = Src->FAntiAlias;
  FGratLineDist = Src->FGratLineDist;
  FUTMGridDist = Src->FUTMGridDist;
  FZoomHistory = Src->FZoomHistory;
  FPan = Src->FPan;
  FDragZoom = Src->FDragZoom;
  FZoomBox = Src->FZoomBox;
  FSelectRect = Src->FSelectRect;
  FRubberLine = Src->FRubberLine;
  FMouseBox = Src->FMouseBox;
  FLastMClickPosX = Src->FLastMClickPosX;
  FLastMClickPosY = Src->FLastMClickPosY;
  FLastMMousePosX = Src->FLastMMousePosX;
  FLastMMousePosY = Src->FLastMMousePosY;
}

void TVozIza::AssignTo(TPersistent* Dest) const {
  if (auto* D = dynamic_cast<TVozIza*>(Dest)) {
    D->Assign(this);
    return;
  }
  TCustomControl::AssignTo(Dest);
}

void TVozIza::Clear() {
  ClearCalibData();
  FCalibModel = cmUndefined;
  FCalibData.MapFName.clear();
  FCalibData.Caption.clear();
  ClearMapImage();
  Paint();
}

void TVozIza::ClearMapImage() {
  FMapImgName.clear();
  FMapImgWidth = 0;
  FMapImgHeight = 0;
}

// ---- Map image.

void TVozIza::CheckPixelLimit(int64_t W, int64_t H) const {
  if (W * H > MaxMapImgPixels)
    CalibError(": Cannot use map image, maximum of " + IntToStr(MaxMapImgPixels) +
               " pixels exceeded (size of map is " + IntToStr(W) + " x " + IntToStr(H) + ")");
}

void TVozIza::TakeNewPicture(const std::string& Name) {
  FMapImgName = Name;
  FMapImgWidth = GrafBmp.GetWidth();
  FMapImgHeight = GrafBmp.GetHeight();
  AuxBmp.SetHeight(FMapImgHeight);
  AuxBmp.SetWidth(FMapImgWidth);
  FTopLeft = TPoint{0, 0};
}

void TVozIza::SetMapImgName(const std::string& Name) {
  const std::string Requested = Name;
  std::string FileName = Name;
  if (FOnMapImageRequest) FOnMapImageRequest(this, FileName);
  FCache.Invalidate();
  // Calibration files name their image in lower case.
  FileName = FindFileIgnoringCase(FileName);
  if (!FileExists(FileName)) {
    ClearMapImage();
    Paint();
    return;
  }

  // The picture is read into a bitmap of its own and replaces GrafBmp only
  // when it was read completely and is within the pixel limit, so a failure
  // leaves picture, name and size consistent.
  TBitmap New;
  bool Loaded = false;
  const std::string Ext = LowerCase(ExtractFileExt(FileName));
  if (Ext == ".jpg" || Ext == ".jpeg") {
    TJPEGImage Jpeg;
    Jpeg.SetOnProgress(FOnDataLoading);
    Jpeg.LoadFromFile(FileName);
    // The header gives the size: an oversized image is refused before it
    // is decoded.
    CheckPixelLimit(Jpeg.GetWidth(), Jpeg.GetHeight());
    New.Assign(&Jpeg);
    Loaded = true;
  } else if (Ext == ".bmp") {
    New.SetOnProgress(FOnDataLoading);
    New.LoadFromFile(FileName);
    Loaded = true;
  }
  if (Loaded) {
    CheckPixelLimit(New.GetWidth(), New.GetHeight());
    GrafBmp.SwapImage(New);
  }
  TakeNewPicture(Requested);
  Paint();
}

void TVozIza::SetMapBitMap(TBitmap* Value) {
  FCache.Invalidate();
  if (Value) CheckPixelLimit(Value->GetWidth(), Value->GetHeight());
  TBitmap New;
  New.Assign(Value);
  GrafBmp.SwapImage(New);
  TakeNewPicture("$unknown$");
  Paint();
}

void TVozIza::SaveMap(const std::string& FileName, const std::string& DataID) {
  const std::string Path = ExtractFilePath(FileName);
  FMapImgName = StripExtension(ExtractFileName(FileName)) + ".jpg";
  SaveCalDataAsXML(StripExtension(FileName) + ".xml", DataID);
  TJPEGImage Jpeg;
  Jpeg.SetOnProgress(FOnDataLoading);
  Jpeg.Assign(&GrafBmp);
  Jpeg.SaveToFile(Path + FMapImgName);
}

bool TVozIza::RenameMapImg(const std::string& Name) {
  const std::string Reduced =
      StripExtension(ExtractFileName(ReduceStringToFN83CompliantChars(Name)));
  if (FMapImgName.empty() || Reduced.empty() || !FileExists(FMapImgName)) return false;
  const std::string NewName = ExtractFilePath(FMapImgName) + Reduced + ExtractFileExt(FMapImgName);
  // A rename that fails (the target exists, no permission) keeps the old
  // name: the control must not point at a file that is not there.
  if (NewName != FMapImgName && !RenameFile(FMapImgName, NewName)) return false;
  FMapImgName = NewName;
  return true;
}

// ---- Appearance.

void TVozIza::SetAntiAlias(bool Value) {
  Store(FAntiAlias, Value);
}

void TVozIza::SetCacheMagLimit(double Value) {
  Value = Value > 0 ? std::min(Value, DefaultCacheMagLimit) : 0.0;
  if (Value == FCacheMagLimit) return;
  FCacheMagLimit = Value;
  // Above the largest limit no cache is ever used: nothing to show.
  if (FMagnify < DefaultCacheMagLimit) Paint();
}

void TVozIza::SetColorBakGnd(TColor Value) {
  Store(FColorBakGnd, Value);
}

void TVozIza::SetColorGratLine(TColor Value) {
  Store(FColorGratLine, Value);
}

void TVozIza::SetColorGratPoints(TColor Value) {
  Store(FColorGratPoints, Value);
}

void TVozIza::SetColorFrame(TColor Value) {
  Store(FFrameColor, Value);
}

void TVozIza::SetEmptyMsg(const std::string& Value) {
  Store(FEmptyMsg, Value);
}

void TVozIza::SetFrameStyle(TFrameStyle Value) {
  Store(FFrameStyle, Value);
}

void TVozIza::SetGratLineDist(double Value) {
  Store(FGratLineDist, Value > 0 ? std::min(Value, 60.0) : 0.0);
}

void TVozIza::SetUTMGridDist(int32_t Value) {
  Store(FUTMGridDist, std::clamp(Value, 0, 10000000));
}

void TVozIza::SetShowGrat(TShowGrat Value) {
  Store(FShowGrat, Value > sgPointsAndUTMGrid ? sgNone : Value);
}

void TVozIza::SetSuppressPaint(bool Value) {
  if (Value == FSuppressPaint) return;
  FSuppressPaint = Value;
  if (!Value) Paint();
}

} // namespace qeb
