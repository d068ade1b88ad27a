// Calibration writers under hostile records: what they write must read back
// the same, or they must refuse before touching the file.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "qebgeolib/platform/base/textfile.h"
#include "tests/errortext.h"
#include "tests/voziza/calibtest.h"

using namespace qeb;
using qeb::test::ErrorOf;
using qeb::test::TTestCalib;

namespace {

std::string TmpFile(const std::string& Name) {
  return std::string(QEB_TEST_TMPDIR) + "/calibrobust_" + Name;
}

std::string ReadBytes(const std::string& Name) {
  std::stringstream S;
  S << std::ifstream(Name, std::ios::binary).rdbuf();
  return S.str();
}

// An equirectangular calibration of three quads.
void Calibrate(TTestCalib& C) {
  C.SetCalibModel(cmEquiRect);
  for (auto [X, Y] : {std::pair{0, 0}, {1000, 0}, {0, 800}})
    ASSERT_TRUE(C.AddCalibPoint(test::EqLat(Y), test::EqLong(X), X, Y));
}

} // namespace

TEST(CalibFileRobust, NonFiniteValuesAreRefusedBeforeWriting) {
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double Inf = std::numeric_limits<double>::infinity();
  const std::function<void(TCalibData&)> Damage[] = {
      [](TCalibData& D) { D.Corners[gcoBottomRight].Longit = NaN; },
      [](TCalibData& D) { D.Resolution = Inf; },
      [](TCalibData& D) {
        D.CalLines[D.NumCalLines = 1] = TCalibLine{gtlParallel, -Inf, 0, {}};
      },
      [](TCalibData& D) { D.CalQuads[2].Latitude = NaN; }};
  const std::string File = TmpFile("nonfinite.xml");
  for (std::size_t K = 0; K < std::size(Damage); ++K) {
    SCOPED_TRACE(K);
    TTestCalib C;
    Calibrate(C);
    TCalibData D = C.GetCalibData();
    Damage[K](D);
    TTextFile F(File);
    F.Rewrite();
    EXPECT_NE(ErrorOf([&] { WriteRawCalDataToOpenXMLFile(F, true, "a", D, cmEquiRect); })
                  .find("WriteRawCalDataToOpenXMLFile: cannot write a value that is not a "
                        "finite number"),
              std::string::npos);
    F.Close();
    EXPECT_EQ(ReadBytes(File), "");
  }

  // The control's writers: a quad that is not finite refuses the save, and
  // an existing file keeps its content.
  TTestCalib C;
  Calibrate(C);
  TCalibData D = C.GetCalibData();
  D.CalQuads[1].Longitude = NaN;
  C.SetCalibData(D);
  std::ofstream(File, std::ios::binary) << "keep";
  EXPECT_NE(ErrorOf([&] {
              C.SaveCalDataAsXML(File, "a");
            }).find("Component \"Map1\": cannot write a value that is not a finite number"),
            std::string::npos);
  EXPECT_EQ(ReadBytes(File), "keep");
  TMemoryStream M;
  EXPECT_NE(ErrorOf([&] { C.SaveCalDataAsXML(M, "a"); }), "(no error)");
  EXPECT_EQ(M.GetSize(), 0);
}

TEST(CalibFileRobust, AttributeTextsReadBackWhole) {
  TTestCalib C;
  Calibrate(C);
  C.SetMapCaption("He said \"hi\"\r\nbye");
  C.ImgFile = "x\"y.jpg";
  const std::string File = TmpFile("quotes.xml");
  TTextFile F(File);
  F.Rewrite();
  C.WriteCalDataToOpenXMLFile(F, true, "a\"b");
  C.SetMapCaption("second");
  C.WriteCalDataToOpenXMLFile(F, false, "c");
  F.Close();

  TCalibData D;
  TCalibModel M = cmUndefined;
  ASSERT_TRUE(ParseCalibData(File, "A\"B", D, M));
  EXPECT_EQ(D.Caption, "He said 'hi'  bye");
  EXPECT_EQ(D.MapFName, "x'y.jpg");
  EXPECT_EQ(D.NumCalQuads, 3);
  // The root line stayed one line: the calibration after it is found too.
  ASSERT_TRUE(ParseCalibData(File, "c", D, M));
  EXPECT_EQ(D.Caption, "second");
}
