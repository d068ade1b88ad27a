#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "qebgeolib/voziza/detail/xmlscan.h"
#include "tests/errortext.h"
#include "tests/voziza/calibtest.h"

using namespace qeb;
using namespace qeb::detail;
using qeb::test::ErrorOf;
using qeb::test::TTestCalib;

namespace {

std::string TmpFile(const std::string& Name) {
  return std::string(QEB_TEST_TMPDIR) + "/calib_" + Name;
}

void WriteBytes(const std::string& Name, const std::string& Bytes) {
  std::ofstream(Name, std::ios::binary) << Bytes;
}

std::string ReadBytes(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), {}};
}

std::string StreamBytes(TMemoryStream& M) {
  return std::string(reinterpret_cast<const char*>(M.Memory()), static_cast<size_t>(M.GetSize()));
}

void Fill(TMemoryStream& M, const std::string& Bytes) {
  M.Clear();
  M.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  M.SetPosition(0);
}

// An equirectangular calibration with two graticule lines beside its quads.
void BuildSample(TTestCalib& C) {
  C.ImgFile = "Alps Map.JPG";
  C.SetMapCaption("Alps & Co");
  C.SetCalibModel(cmParabolicIp);
  for (int32_t I = 1; I <= 3; ++I)
    C.AddCalibPoint(gtlParallel, 47.5, 20 * I - 10, 20 * I);
  C.AddCalibPoint(gtlMeridian, 8.25, 1, 2);
  C.AddCalibPoint(gtlMeridian, 8.25, 3, 4);
  C.SetCalibModel(cmEquiRect);
  for (int32_t Y : {0, 250, 800})
    for (int32_t X : {0, 333, 1000})
      C.AddCalibPoint(test::EqLat(Y), test::EqLong(X), X, Y);
  C.SetUTMZone(32);
  TCalibData D = C.GetCalibData();
  D.Ellipsoid = gelBess41;
  C.SetCalibData(D);
}

const char* const SampleBody =
    "<!-- TVozIza Calibration / QEB Component Suite -->\r\n"
    "<voziza sig=\"QEBCSuite\" vers=\"1.0\" id=\"Alps\" model=\"equirect\" map=\"Alps Map.JPG\" "
    "caption=\"Alps & Co\">\r\n"
    "<corners>\r\n"
    "[48.00000,8.00000] [47.20000,8.00000] [47.20000,9.00000] [48.00000,9.00000] \r\n"
    "</corners>\r\n"
    "<resolution>75.061</resolution>\r\n";

const char* const SampleLines =
    "<calline type=\"parallel\" value=\"47.5\" npoints=\"3\">\r\n"
    "[10,20] [30,40] [50,60] \r\n"
    "</calline>\r\n"
    "<calline type=\"meridian\" value=\"8.25\" npoints=\"2\">\r\n"
    "[1,2] [3,4] \r\n"
    "</calline>\r\n"
    "<calquads npoints=\"9\">\r\n"
    "[48.00000,8.00000,0,0] [48.00000,8.33300,333,0] [48.00000,9.00000,1000,0] "
    "[47.75000,8.00000,0,250] [47.75000,8.33300,333,250] [47.75000,9.00000,1000,250] "
    "[47.20000,8.00000,0,800] [47.20000,8.33300,333,800] [47.20000,9.00000,1000,800] \r\n"
    "</calquads>\r\n"
    "</voziza>\r\n";

} // namespace

TEST(CalibrationFile, WritesTheFileLayout) {
  TTestCalib C;
  BuildSample(C);
  const std::string Name = TmpFile("sample.xml");
  C.SaveCalDataAsXML(Name, "Alps");
  EXPECT_EQ(ReadBytes(Name), std::string("<?xml version=\"1.0\"?>\r\n\r\n") + SampleBody +
                                 "<utmzone>32</utmzone>\r\n<utmsouth>FALSE</utmsouth>\r\n"
                                 "<ellipsoid>gelBess41</ellipsoid>\r\n" +
                                 SampleLines);
  EXPECT_EQ(C.GetCalibData().MapFName, "Alps Map.JPG");

  // The stream form: declaration always, no zone and ellipsoid lines.
  TMemoryStream M;
  C.SaveCalDataAsXML(M, "Alps");
  EXPECT_EQ(StreamBytes(M),
            std::string("<?xml version=\"1.0\"?>\r\n\r\n") + SampleBody + SampleLines);

  // Without quads, resolution or zone; the raw writer without declaration.
  TCalibData D;
  D.UTMZone = -1;
  D.NumCalLines = 1;
  D.CalLines[1].LineValue = -0.000001;
  TTextFile F(Name);
  F.Rewrite();
  WriteRawCalDataToOpenXMLFile(F, false, "", D, static_cast<TCalibModel>(99));
  F.Close();
  EXPECT_EQ(ReadBytes(Name), "\r\n<!-- TVozIza Calibration / QEB Component Suite -->\r\n"
                             "<voziza sig=\"QEBCSuite\" vers=\"1.0\" id=\"\" model=\"undefined\" "
                             "map=\"\" caption=\"\">\r\n<corners>\r\n"
                             "[0.00000,0.00000] [0.00000,0.00000] [0.00000,0.00000] "
                             "[0.00000,0.00000] \r\n</corners>\r\n"
                             "<ellipsoid>gelWGS84</ellipsoid>\r\n"
                             "<calline type=\"meridian\" value=\"-1E-6\" npoints=\"0\">\r\n"
                             "\r\n</calline>\r\n</voziza>\r\n");
  Fill(M, "");
  TTestCalib Empty;
  Empty.SaveCalDataAsXML(M, "e");
  EXPECT_NE(StreamBytes(M).find("<resolution>0.000</resolution>\r\n"), std::string::npos);
  EXPECT_NE(StreamBytes(M).find("<calquads npoints=\"0\">\r\n\r\n</calquads>"), std::string::npos);

  // Line values in the general form, read back exactly.
  TTestCalib G;
  G.SetCalibModel(cmParabolicIp);
  const double Values[] = {8, -0.25, 0.00001, 1e-6, 123456789012345, 1e15, 1.5e-7, 0.1 + 0.2};
  for (double V : Values)
    G.AddCalibPoint(gtlMeridian, V, 1, 1);
  G.SaveCalDataAsXML(Name, "");
  const std::string Text = ReadBytes(Name);
  for (const char* Want : {"\"8\"", "\"-0.25\"", "\"0.00001\"", "\"1E-6\"", "\"123456789012345\"",
                           "\"1E15\"", "\"1.5E-7\"", "\"0.3\""})
    EXPECT_NE(Text.find(std::string("value=") + Want), std::string::npos) << Want;
}

TEST(CalibrationFile, RoundTripsEveryModel) {
  for (TCalibModel M :
       {cmParabolicIp, cmBiquadraticPn, cmConicConformal, cmMillerCylindrical, cmEquiRect, cmUTM}) {
    TTestCalib C;
    BuildSample(C);
    C.SetUTMHemisphere(hemiSouth);
    C.SetCalibModel(M);
    const std::string Name = TmpFile("roundtrip.xml");
    C.SaveCalDataAsXML(Name, "Alps");
    const TCalibData Before = C.GetCalibData();
    TMemoryStream S;
    C.SaveCalDataAsXML(S, "Alps");

    TTestCalib R;
    EXPECT_FALSE(R.LoadCalDataFromXML(Name, "ALPS")); // quads give no graticule
    EXPECT_EQ(R.GetCalibModel(), M);
    EXPECT_EQ(R.LoadedImages, std::vector<std::string>{"alps map.jpg"});
    const TCalibData D = R.GetCalibData();
    EXPECT_EQ(D.MapFName, "alps map.jpg");
    EXPECT_EQ(D.Caption, "Alps & Co");
    for (int K = 0; K < 4; ++K) {
      EXPECT_NEAR(D.Corners[K].Latit, Before.Corners[K].Latit, 6e-6);
      EXPECT_NEAR(D.Corners[K].Longit, Before.Corners[K].Longit, 6e-6);
    }
    EXPECT_NEAR(D.Resolution, Before.Resolution, 6e-4);
    EXPECT_EQ(D.UTMZone, 32);
    EXPECT_TRUE(D.UTMSouth);
    EXPECT_EQ(D.Ellipsoid, gelBess41);
    EXPECT_EQ(D.NumCalLines, 1); // the meridian of two points does not come back
    EXPECT_EQ(D.CalLines[1], Before.CalLines[1]);
    EXPECT_EQ(D.NumCalQuads, 9);
    for (int32_t I = 1; I <= 9; ++I)
      EXPECT_EQ(D.CalQuads[I], Before.CalQuads[I]) << I;

    // The stream gives the same points and model.
    TTestCalib RS;
    S.SetPosition(0);
    RS.LoadCalDataFromXML(S, "alps");
    EXPECT_EQ(RS.GetCalibModel(), M);
    const TCalibData DS = RS.GetCalibData();
    EXPECT_EQ(DS.CalQuads, D.CalQuads);
    EXPECT_EQ(DS.CalLines[1], D.CalLines[1]);
    EXPECT_EQ(DS.Corners, D.Corners);
    // The loaded calibration is fitted: it converts as the saved one did.
    bool V1 = false, V2 = false;
    EXPECT_DOUBLE_EQ(R.CalcLongitude(900, 50, V1), C.CalcLongitude(900, 50, V2));
    EXPECT_EQ(V1, V2);
  }
}

TEST(CalibrationFile, ReaderRules) {
  const std::string Name = TmpFile("rules.xml");
  auto Root = [](const std::string& Id, const std::string& Rest) {
    return "<voziza sig=\"QEBCSuite\" id=\" " + Id +
           " \" model=\"equirect\" map=\" M.jpg \" "
           "caption=\" Say \"hi\" \" id=\"zz\">\n" +
           Rest + "</voziza>\n";
  };
  WriteBytes(Name, Root("a", "<calquads npoints=\"1\">[1.5,2.5,3,4]</calquads>\n") +
                       Root("b", "<corners>[1,2]\n [3,4]\r\n[5.5E1,6] [7,8] ] [9,9]</corners>\n"
                                 "<calquads npoints=\"3\">[47,5,8,5,1,2] [1,2,3,4] [-1.5,.5,-3,+4]"
                                 "</calquads>\n"));
  TTestCalib C;
  auto D = [&] { return C.GetCalibData(); };
  EXPECT_FALSE(C.LoadCalDataFromXML(Name, "B"));
  EXPECT_EQ(D().Caption, "Say"); // cut at the quotation mark
  EXPECT_EQ(D().MapFName, "m.jpg");
  EXPECT_EQ(D().Corners[gcoBottomRight], (TCoords{55, 6}));
  // A quad coordinate takes no decimal comma: 47,5 reads as 47 and 5.
  EXPECT_EQ(D().CalQuads[1], (TCalQuad{47, 5, 8, 5}));
  EXPECT_EQ(D().CalQuads[3], (TCalQuad{-1.5, 0.5, -3, 4}));
  EXPECT_EQ(D().UTMZone, -1);
  EXPECT_EQ(D().Resolution, 0);
  C.LoadCalDataFromXML(Name, "");
  EXPECT_EQ(D().NumCalQuads, 1);
  // No match: false, the points stay, the last root line set model and names.
  const int32_t Quads = D().NumCalQuads;
  WriteBytes(Name, "<voziza sig=\"qebcsuite\" id=\"x\" map=\"n.jpg\">\n");
  EXPECT_FALSE(C.LoadCalDataFromXML(Name, "a"));
  EXPECT_EQ(D().NumCalQuads, Quads);
  EXPECT_EQ(C.GetCalibModel(), cmUndefined);
  EXPECT_EQ(D().MapFName, "n.jpg");
  EXPECT_FALSE(C.LoadCalDataFromXML(TmpFile("missing.xml"), ""));
  EXPECT_EQ(D().MapFName, "n.jpg");

  // A usable graticule: lines of three points, value with a decimal comma,
  // type in any letter case, unknown ellipsoid, unreadable numbers.
  std::string Lines;
  for (const char* L : {"Parallel\" value=\"47,5", "parallel\" value=\"48", "MERIDIAN\" value=\"8",
                        "meridian\" value=\"x9"})
    Lines += std::string("<calline type=\"") + L + "\" npoints=\"3\">[0,1] [2,3] [4,5]</calline>\n";
  WriteBytes(Name, Root("g", Lines + "<ellipsoid>gelMars</ellipsoid>\n<utmzone>77</utmzone>\n"
                                     "<utmsouth> TRUE </utmsouth><calline type=\"meridian\" "
                                     "npoints=\"2\">[0,1] [2,3]</calline>\n"));
  EXPECT_TRUE(C.LoadCalDataFromXML(Name, "g"));
  EXPECT_EQ(D().NumCalLines, 4);
  EXPECT_EQ(D().CalLines[1].LineValue, 47.5);
  EXPECT_EQ(D().CalLines[4].LineValue, 0);
  EXPECT_EQ(D().Ellipsoid, gelWGS84);
  EXPECT_EQ(D().UTMZone, 77);
  EXPECT_TRUE(D().UTMSouth);

  // Errors: what was read before stays, the refused element is not stored.
  auto Fails = [&](const std::string& Body) {
    WriteBytes(Name, Root("e", "<calquads npoints=\"1\">[1,2,3,4]</calquads>\n" + Body));
    return ErrorOf([&] { C.LoadCalDataFromXML(Name, ""); });
  };
  const std::string P = "Component \"Map1\": ";
  EXPECT_EQ(Fails("<calline type=\"curve\" npoints=\"0\"></calline>"),
            P + "invalid type of graticule line: type=\"curve\"");
  EXPECT_EQ(D().NumCalQuads, 1);
  EXPECT_EQ(Fails("<calquads npoints=\"3\">[1,2,3,4] [1,2,3,4]</calquads>"),
            P + "specified number of calibration points and actual number does not match");
  EXPECT_EQ(D().NumCalQuads, 1);
  std::string Many;
  for (int I = 0; I < 11; ++I)
    Many += "[1,2]";
  EXPECT_EQ(Fails("<calline type=\"parallel\" npoints=\"11\">" + Many + "</calline>"),
            P + "more than 10 points in a graticule line");
  std::string Quads201;
  for (int I = 0; I < 201; ++I)
    Quads201 += "[1,2,3,4]";
  EXPECT_EQ(Fails("<calquads npoints=\"201\">" + Quads201 + "</calquads>"),
            P + "more than 200 calibration quads");
  EXPECT_EQ(Fails("<corners>[1,2][1,2][1,2][1,2][1,2]</corners>"), P + "more than 4 corners");
  std::string Lines26;
  for (int I = 0; I < 26; ++I)
    Lines26 += "<calline type=\"parallel\" value=\"" + std::to_string(I) +
               "\" npoints=\"3\">[1,2][1,2][1,2]</calline>";
  EXPECT_EQ(Fails(Lines26), P + "more than 25 graticule lines");
  EXPECT_EQ(D().NumCalLines, 25);

  // CalibDataFile: an existing file is loaded and kept, a missing one
  // empties the image.
  C.LoadedImages.clear();
  WriteBytes(Name, Root("a", ""));
  C.SetCalDatName(Name);
  EXPECT_EQ(C.GetCalibDataFile(), Name);
  EXPECT_EQ(C.LoadedImages.size(), 1u);
  C.SetCalibDataFile(TmpFile("missing.xml"));
  EXPECT_EQ(C.GetCalDatName(), Name);
  EXPECT_EQ(C.Width, 0);
}

TEST(CalibrationFile, ParseCalibDataForms) {
  const std::string Text =
      "x\r\n<VOZIZA SIG=\"QEBCSuite\" ID=\"one\" map=\"A.jpg\">\r\n"
      "<calline type=\"parallel\" value=\"1e1\" npoints=\"2\">[1,2] [3]</calline>\r\n"
      "<resolution>12,5</resolution><landmark a=\"1\"/><corners>[1,2]</corners>\r\n</voziza>\r\n"
      "<voziza sig=\"QEBCSuite\" id=\"two\" model=\"mars\" caption=\"C\">\r\n"
      "<calline type=\"wrong\"></calline></voziza>\r\n";
  const std::string Name = TmpFile("parse.xml");
  WriteBytes(Name, Text);
  TMemoryStream M;
  for (int Form = 0; Form < 2; ++Form) {
    TCalibData D;
    D.NumCalLines = 7;
    D.NumCalQuads = 2;
    D.Corners[gcoTopRight] = {9, 9};
    TCalibModel Model = cmUTM;
    Fill(M, Text);
    auto Parse = [&](const std::string& Id) {
      return Form == 0 ? ParseCalibData(Name, Id, D, Model) : ParseCalibData(&M, Id, D, Model);
    };
    ASSERT_TRUE(Parse("ONE"));
    EXPECT_EQ(Model, cmBiquadraticPn); // no model attribute
    EXPECT_EQ(D.MapFName, "a.jpg");
    EXPECT_EQ(D.NumCalLines, 1); // kept although short
    EXPECT_EQ(D.CalLines[1].LineValue, 10);
    EXPECT_EQ(D.CalLines[1].CalPoints[2], (TPoint{3, 0}));
    EXPECT_EQ(D.NumCalQuads, 2); // untouched
    EXPECT_EQ(D.Resolution, 12.5);
    EXPECT_EQ(D.Corners[gcoTopLeft], (TCoords{1, 2}));
    EXPECT_EQ(D.Corners[gcoTopRight], (TCoords{9, 9}));
    Fill(M, Text);
    EXPECT_EQ(ErrorOf([&] { Parse("two"); }),
              "ParseCalibData: invalid type of graticule line: type=\"wrong\"");
    EXPECT_EQ(Model, cmUndefined); // unknown model name
    EXPECT_EQ(D.MapFName, "");
    EXPECT_EQ(D.Caption, "C");
    Fill(M, Text);
    EXPECT_FALSE(Parse("three"));
  }
  TCalibData D;
  TCalibModel Model = cmUTM;
  EXPECT_FALSE(ParseCalibData(nullptr, "", D, Model));
  EXPECT_FALSE(ParseCalibData(TmpFile("missing.xml"), "", D, Model));
  EXPECT_EQ(Model, cmUTM);
}

TEST(CalibrationFile, NumberReaders) {
  auto F = [](std::string_view T, bool Exp = true, bool Comma = true) {
    return ReadXMLFloat(T, Exp, Comma);
  };
  EXPECT_EQ(F("5."), 5);
  EXPECT_EQ(F("-.25x"), -0.25);
  EXPECT_EQ(F("+ 5"), 0);
  EXPECT_EQ(F("--5"), 0);
  EXPECT_EQ(F(".."), 0);
  EXPECT_EQ(F("2.5e3"), 2500);
  EXPECT_EQ(F("2.5e3", false), 2.5);
  EXPECT_EQ(F("1e-400"), 0);
  EXPECT_EQ(F("-1e999"), -std::numeric_limits<double>::max());
  EXPECT_EQ(F("0.1000000000000000055511151231257827021181583404541015625000001"), 0.1);
  EXPECT_EQ(F(std::string(500, '0') + "12" + std::string(400, '0') + "e-400"), 12);
  int32_t Pos = 2;
  EXPECT_EQ(ReadXMLFloat("x5E+x", Pos, true, false), 5);
  EXPECT_EQ(Pos, 3); // left on the E that starts no exponent
  Pos = 1;
  EXPECT_EQ(ReadXMLFloat("1e99999", Pos, true, false), std::numeric_limits<double>::max());
  EXPECT_EQ(Pos, 7); // exponent digits stop beyond 4200
  Pos = 3;
  EXPECT_EQ(ReadXMLFloat("ab", Pos, true, true), 0);
  EXPECT_EQ(Pos, 3);

  EXPECT_EQ(ReadXMLInt("  -42,"), -42);
  EXPECT_EQ(ReadXMLInt("- 7"), 0);
  EXPECT_EQ(ReadXMLInt("99999999999999"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ReadXMLInt("-99999999999999"), std::numeric_limits<int32_t>::min());
  Pos = 1;
  EXPECT_EQ(ReadXMLInt("12.5", Pos), 12);
  EXPECT_EQ(Pos, 3);

  bool Found = true;
  EXPECT_EQ(XMLAttributeValue("a id=\"open", "id"), "open");
  EXPECT_EQ(XMLAttributeValue("a id=x", "id", Found), "");
  EXPECT_FALSE(Found);

  TMemoryStream M;
  Fill(M, "ab\x01\tc\r\nd\xe9\nlast");
  std::string Line;
  ASSERT_TRUE(ReadXMLStreamLine(M, Line));
  EXPECT_EQ(Line, "ab\tc");
  ASSERT_TRUE(ReadXMLStreamLine(M, Line));
  EXPECT_EQ(Line, "d\xc3\xa9"); // Windows-1252 é
  ASSERT_TRUE(ReadXMLStreamLine(M, Line));
  EXPECT_EQ(Line, "last");
  EXPECT_FALSE(ReadXMLStreamLine(M, Line));
}
