// The landmark list of the map control: additions and removals with their
// events, capacities and index rules; the landmark pass; landmark files.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <vector>

#include "qebgeolib/companion/mathlib/math1.h"
#include "qebgeolib/platform/base/textfile.h"
#include "tests/voziza/viewtest.h"

using namespace qeb;
using namespace qeb::test;

namespace {

// A control on a 400 x 200 image of the world under cmEquiRect (0.9 degrees
// a pixel), counting its repaints and recording the landmark events.
struct TLandMarkView {
  TVozIza V{nullptr};
  int Repaints = 0;
  std::vector<std::string> Events;
  bool Refuse = false;

  TLandMarkView() {
    V.SetBounds(0, 0, 400, 200);
    ShowCodedImage(V, 400, 200);
    CalibrateCorners(V, 90, -180, -90, 180);
    V.SetOnDataRendered([this](TObject*, TCanvas&) { ++Repaints; });
    V.SetOnLandMarkAction([this](TObject*, bool& Allowed, TLandMarkAction A, const TLandMark& LM) {
      Events.push_back((A == lmaAdd ? "add " : "remove ") + LM.Identifier.ToString());
      Allowed = !Refuse;
    });
  }
  void Add(double Lat, double Long, std::string_view Id, uint8_t Class = 0) {
    V.AddLandMark(Lat, Long, 0, lmCross, Class, Id, 0, 0, 0, 0, 3, false, 0, 0);
  }
  std::string Ids() const {
    std::string S;
    for (int32_t I = 1; I <= V.GetNumLandMarks(); ++I)
      S += V.GetLandMarkData(I).Identifier.ToString();
    return S;
  }
};

} // namespace

TEST(LandMarks, TemplateAndTheFieldsEachAdditionTakes) {
  TVozIza V(nullptr);
  const TLandMark D = V.GetLandMarkDefault();
  EXPECT_EQ(D.SymbolProps, (TSymbolProperties{lmCross, 7, 0x00FF0000, 0x00FFFFFF, false, 0, 10}));
  EXPECT_EQ(D.Caption.FontName, "MS Sans Serif");
  EXPECT_TRUE(D.Caption.Transparent && D.Caption.Size == 8 && D.Caption.dy == 8);
  EXPECT_EQ(D.Caption.HAlignment, lmhCenter);
  EXPECT_EQ(V.GetLMRandomDisplayThreshold(), 20000);
  EXPECT_EQ(V.GetLandMarkCapacity(), 1000);
  EXPECT_TRUE(V.GetLMClassVisible(0) && V.GetLMClassVisible(255));
  EXPECT_EQ(V.GetHighLightColorFG(), 0x00FF0000u);
  EXPECT_EQ(V.GetHighLightColorBG(), 0x0000FFFFu);

  TLandMark T = D;
  T.ClassFlag = 9;
  T.Tag = 77;
  T.Identifier = TLMIdentifier::FromString("tmpl");
  T.Time = 5;
  T.Caption.Text = TLMText::FromString("tcap");
  V.SetLandMarkDefault(T);
  const std::string Long(100, 'c');
  V.AddLandMark(1, 2, 3);
  V.AddLandMark(1, 2, 3, "an identifier of 20.", 44000.5);
  V.AddLandMark(1, 2, 3, Long, 12, 0x123456);
  V.AddLandMark(1, 2, 3, "id4", 7, "cap4", 14, 0x654321);
  V.AddLandMark(1, 2, 3, lmSpade, 200, "id5", 8, -5, 1, 2, 3, true, 45, 6);
  ASSERT_EQ(V.GetNumLandMarks(), 5);
  for (int32_t I = 1; I <= 5; ++I) {
    const TLandMark& L = V.GetLandMarkData(I);
    EXPECT_EQ(L.Latitude + L.Longitude + L.Altitude, 6) << I;
    EXPECT_EQ(L.ClassFlag, I == 5 ? 200 : 9) << I;
    EXPECT_EQ(L.Tag, I == 5 ? -5 : 77) << I;
  }
  EXPECT_EQ(V.GetLandMarkData(1),
            (TLandMark{1, 2, 3, 9, 77, T.SymbolProps, T.Caption, T.Identifier, 5}));
  EXPECT_EQ(V.GetLandMarkData(2).Identifier.ToString(), "an identifier o");
  EXPECT_EQ(V.GetLandMarkData(2).Time, 44000.5);
  EXPECT_EQ(V.GetLandMarkData(2).Caption, T.Caption);
  EXPECT_EQ(V.GetLandMarkData(3).Caption.Text.ToString(), std::string(80, 'c'));
  EXPECT_EQ(V.GetLandMarkData(3).Identifier, T.Identifier);
  EXPECT_EQ(V.GetLandMarkData(3).Caption.FGColor, 0x123456u);
  EXPECT_EQ(V.GetLandMarkData(4).Caption.Size, 14);
  EXPECT_EQ(V.GetLandMarkData(4).Time, 7);
  EXPECT_EQ(V.GetLandMarkData(5).SymbolProps, (TSymbolProperties{lmSpade, 3, 1, 2, true, 45, 6}));
  EXPECT_EQ(V.GetLandMarkData(5).Caption, T.Caption);
  EXPECT_EQ(V.GetLandMarkData(6), TLandMark{});
  EXPECT_EQ(V.GetLandMarkData(0), TLandMark{});
}

TEST(LandMarks, EventsRefusalsAndRepaints) {
  TLandMarkView T;
  T.Repaints = 0;
  T.Add(1, 1, "a");
  T.Refuse = true;
  T.Add(2, 2, "b");
  EXPECT_EQ(T.V.GetNumLandMarks(), 1);
  EXPECT_EQ(T.Repaints, 1); // a refused addition does not repaint
  EXPECT_EQ(T.V.RemoveLandMark(1), 0);
  EXPECT_EQ(T.V.GetNumLandMarks(), 1);
  T.Refuse = false;
  T.Add(3, 3, "c", 5);
  T.Add(4, 4, "d", 5);
  T.Events.clear();
  T.V.RemoveAllLandMarks(5); // asks for each landmark of the class, in order
  EXPECT_EQ(T.Events, (std::vector<std::string>{"remove c", "remove d"}));
  EXPECT_EQ(T.Ids(), "a");
  T.Events.clear();
  T.V.RemoveAllLandMarks(); // no event
  EXPECT_TRUE(T.Events.empty());
  EXPECT_EQ(T.V.GetNumLandMarks(), 0);

  // Highlight: out of range gives 0; removals reset it, additions do not.
  for (const char* Id : {"1", "2", "3"})
    T.Add(0, 0, Id);
  T.V.SetHighLightLandMark(4);
  EXPECT_EQ(T.V.GetHighLightLandMark(), 0);
  T.V.SetHighLightLandMark(3);
  T.Add(0, 0, "4");
  EXPECT_EQ(T.V.GetHighLightLandMark(), 3);
  T.Repaints = 0;
  EXPECT_EQ(T.V.RemoveLandMark(9), 0); // still resets the highlight and repaints
  EXPECT_EQ(T.V.GetHighLightLandMark(), 0);
  EXPECT_EQ(T.Repaints, 1);

  T.V.SetLMRandomDisplayThreshold(1000);
  EXPECT_EQ(T.V.GetLMRandomDisplayThreshold(), 20000);
  T.V.SetLMRandomDisplayThreshold(1001);
  EXPECT_EQ(T.V.GetLMRandomDisplayThreshold(), 1001);
}

TEST(LandMarks, FindAndRemoveByPositionIndexAndArea) {
  TLandMarkView T;
  EXPECT_EQ(T.V.FindLandMark(0, 0, -1), 0);
  // 1..5 along the equator at longitudes 0, 10, 20, 30, 40; class = index.
  for (int I = 0; I < 5; ++I)
    T.Add(0, 10.0 * I, std::to_string(I + 1), uint8_t(I + 1));
  EXPECT_EQ(T.V.FindLandMark(0, 5, -1), 1); // a tie keeps the lower index
  EXPECT_EQ(T.V.FindLandMark(0, 5, 300), 1);
  EXPECT_EQ(T.V.FindLandMark(0, 5, -7), 1);
  EXPECT_EQ(T.V.FindLandMark(0, 5, 2), 2);
  EXPECT_EQ(T.V.FindLandMark(0, 5, 9), 0);

  EXPECT_EQ(T.V.RemoveLandMark(3), 3); // the last moves into the hole
  EXPECT_EQ(T.Ids(), "1254");
  EXPECT_EQ(T.V.RemoveLandMark(0, 41, -1), 3); // "5" at 40 is nearest
  EXPECT_EQ(T.Ids(), "124");
  T.V.RemoveLastLandMark();
  EXPECT_EQ(T.Ids(), "12");

  // Radius and rectangle: strictly inside; compaction keeps the survivors
  // below the first removal in place and fills holes from the top.
  T.V.RemoveAllLandMarks();
  for (int I = 0; I < 8; ++I)
    T.Add(0, 10.0 * I, std::to_string(I));
  EXPECT_EQ(T.V.RemoveLandMark(0, 0, -1, 0.0), 0);
  EXPECT_EQ(T.V.RemoveLandMark(0, 20, -1, 10.0), 1); // 10 and 30 lie on the circle
  EXPECT_EQ(T.Ids(), "0173456");
  EXPECT_EQ(T.V.RemoveLandMark(TRectDouble{5, 1, 45, -1}, -1), 3); // 10, 30 and 40 inside
  EXPECT_EQ(T.Ids(), "0675");
  EXPECT_EQ(T.V.RemoveLandMark(TRectDouble{50, 0, 70, -1}, -1), 0); // on the border
  EXPECT_EQ(T.V.RemoveLandMark(TRectDouble{-1, 1, 100, -1}, 3), 0); // no such class
}

TEST(LandMarks, CapacityGrowsInThousandsAndResets) {
  TLandMarkView T;
  T.V.SetSuppressPaint(true);
  T.V.SetOnLandMarkAction(nullptr);
  for (int I = 1; I <= 2001; ++I) {
    T.Add(I * 0.01, 0, "x", I % 2);
    if (I == 1000 || I == 1001 || I == 2000 || I == 2001) {
      EXPECT_EQ(T.V.GetLandMarkCapacity(), (I - 1) / 1000 * 1000 + 1000) << I;
    }
  }
  TVozIza Copy(nullptr);
  Copy.SetLMClassVisible(7, false);
  T.V.SetLMClassVisible(7, true);
  T.V.SetLMRandomDisplayThreshold(5000);
  Copy.Assign(&T.V);
  EXPECT_EQ(Copy.GetNumLandMarks(), 2001);
  EXPECT_EQ(Copy.GetLandMarkCapacity(), 3000);
  EXPECT_EQ(Copy.GetLandMarkData(2001), T.V.GetLandMarkData(2001));
  EXPECT_TRUE(Copy.GetLMClassVisible(7));
  EXPECT_EQ(Copy.GetLMRandomDisplayThreshold(), 5000);
  T.V.RemoveAllLandMarks(1);
  EXPECT_EQ(T.V.GetNumLandMarks(), 1000);
  EXPECT_EQ(T.V.GetLandMarkCapacity(), 3000);
  T.V.RemoveAllLandMarks(0);
  EXPECT_EQ(T.V.GetLandMarkCapacity(), 1000);
}

// The pass draws a landmark when its class is visible, the sampling keeps it
// and its pixel lies strictly inside the control; OnDrawLandmark hears of
// the landmarks kept, inside or not, and the highlight comes after
// OnDataRendered in its own colours.
TEST(LandMarks, PassVisibilityEventsAndHighlight) {
  TLandMarkView T;
  std::vector<std::string> Order;
  T.V.SetOnDataRendered([&](TObject*, TCanvas&) { Order.push_back("rendered"); });
  T.V.SetOnDrawLandmark(
      [&](TObject*, bool& Handled, TCanvas&, const TPoint& P, const TLandMark& LM) {
        Order.push_back(LM.Identifier.ToString() + "@" + std::to_string(P.X) + "," +
                        std::to_string(P.Y));
        Handled = LM.Identifier.ToString() == "handled";
      });
  T.V.SetSuppressPaint(true);
  T.Add(0, 0, "centre");
  T.Add(90, -180, "corner"); // control pixel (0, 0): event, no symbol
  T.Add(0, 0, "hidden", 4);
  T.Add(-45, 90, "handled");
  T.V.SetLMClassVisible(4, false);
  T.V.SetHighLightLandMark(1);
  T.V.SetHighLightProperties(0x0000FF, 0x00FF00, false);
  Order.clear();
  T.V.SetSuppressPaint(false);
  EXPECT_EQ(Order, (std::vector<std::string>{"centre@200,100", "corner@0,0", "handled@300,150",
                                             "rendered", "centre@200,100"}));
  // The highlighted cross of size 3 in red over green, the handled one not drawn.
  const TBitmap& A = T.V.GetAuxBmp();
  EXPECT_EQ(Px(A, 200, 100), To15(0x0000FF));
  EXPECT_EQ(Px(A, 203, 103), To15(0x0000FF));
  EXPECT_EQ(Px(A, 300, 150), To15(PixelCode(300, 150)));
  EXPECT_EQ(Px(A, 2, 2), To15(PixelCode(2, 2)));
}

// With more visible landmarks in view than the threshold, each is drawn
// with probability threshold / n, the same ones on every repaint; the
// indexed pass (no handler) and the full walk (a handler) draw the same.
TEST(LandMarks, SamplingIsStableAndTheIndexedPassMatchesTheFullWalk) {
  TLandMarkView T;
  T.V.SetOnLandMarkAction(nullptr);
  T.V.SetSuppressPaint(true);
  std::mt19937 Rng(7);
  std::uniform_real_distribution<double> Lat(-89, 89), Long(-179, 179);
  for (int I = 0; I < 50000; ++I)
    T.Add(Lat(Rng), Long(Rng), "", 0);
  for (int I = 0; I < 500; ++I) // out of view: they do not count towards n
    T.Add(60 + I * 0.01, 300, "", 0);
  int Drawn = 0;
  T.V.SetOnDrawLandmark(
      [&](TObject*, bool&, TCanvas&, const TPoint&, const TLandMark&) { ++Drawn; });
  T.V.SetSuppressPaint(false);
  EXPECT_NEAR(Drawn, 20000 * 50500 / 50000, 600); // p = 0.4 of all kept, in view or not
  const int First = Drawn;
  TBitmap WithHandler;
  WithHandler.Assign(&T.V.GetAuxBmp());
  Drawn = 0;
  T.V.Repaint();
  EXPECT_EQ(Drawn, First);
  T.V.SetOnDrawLandmark(nullptr);
  T.V.Repaint();
  const TBitmap& Indexed = T.V.GetAuxBmp();
  for (int32_t Y = 0; Y < 200; Y += 3)
    for (int32_t X = 0; X < 400; X += 3)
      ASSERT_EQ(Px(Indexed, X, Y), Px(WithHandler, X, Y)) << X << "," << Y;
}

TEST(LandMarkFile, RoundTripOfEveryField) {
  TLandMarkView T;
  T.V.SetSuppressPaint(true);
  TLandMark A = DefaultLandMark();
  A.Latitude = 47.123456789012345;
  A.Longitude = -0.1;
  A.Altitude = 1e-300;
  A.ClassFlag = 255;
  A.Tag = INT32_MIN;
  A.SymbolProps = {lmArrowTo, -3, 0xFFFFFFFF, 0x01020304, true, -45, INT32_MAX};
  A.Caption.Text = TLMText::FromString("Zürich – « Ça » <b> = 1");
  A.Caption.FontName = "DejaVu Sans";
  A.Caption.FontStyles = fsItalic | fsStrikeOut;
  A.Caption.dx = -7;
  A.Caption.Direction = 90;
  A.Caption.HAlignment = lmhRight;
  A.Caption.VAlignment = lmvBottom;
  A.Identifier = TLMIdentifier::FromString("Genève");
  int32_t Pos = 1;
  A.Time = ScanDateTime("20261208134501", "yyyymmddHHMMSS", lgEnglish, Pos);
  TLandMark B; // all zero, kind lmPlus
  TLandMark Q = A;
  Q.Caption.Text = TLMText::FromString("say \"hi\"");
  TLandMark U = A; // Windows-1252 bytes that are valid UTF-8 as well
  U.Caption.Text = TLMText::FromString("Ã©");
  U.Identifier = TLMIdentifier::FromString("Â°");
  for (int K = 0; K < LandMarkElementCount; ++K) {
    TLandMark L = A;
    L.SymbolProps.Kind = TLandMarkElement(K);
    T.V.SetLandMarkDefault(L);
    T.V.AddLandMark(K, K, K);
  }
  for (const TLandMark& L : {A, B, Q}) {
    T.V.SetLandMarkDefault(L);
    T.V.AddLandMark(L.Latitude, L.Longitude, L.Altitude);
  }
  const std::string File = TempPath("lm_roundtrip.xml");
  T.V.SaveLandmarks(File, "Set1");
  TLandMarkView R;
  ASSERT_TRUE(R.V.LoadLandMarks(File, "set1"));
  EXPECT_TRUE(R.Events.empty());
  ASSERT_EQ(R.V.GetNumLandMarks(), T.V.GetNumLandMarks());
  for (int32_t I = 1; I < R.V.GetNumLandMarks(); ++I)
    EXPECT_EQ(R.V.GetLandMarkData(I), T.V.GetLandMarkData(I)) << I;
  EXPECT_EQ(R.V.GetLandMarkData(R.V.GetNumLandMarks()).Caption.Text.ToString(), "say 'hi'");

  // Texts whose Windows-1252 bytes would read as UTF-8 come back unchanged.
  TVozIza Only(nullptr);
  Only.SetSuppressPaint(true);
  Only.SetLandMarkDefault(U);
  Only.AddLandMark(1, 2, 3);
  const std::string UFile = TempPath("lm_utf8.xml");
  Only.SaveLandmarks(UFile, "");
  ASSERT_TRUE(R.V.LoadLandMarks(UFile, ""));
  EXPECT_EQ(R.V.GetLandMarkData(1), Only.GetLandMarkData(1));

  // A position the file cannot hold refuses the set and keeps the file.
  T.V.AddLandMark(NAN, 0, 0);
  EXPECT_THROW(T.V.SaveLandmarks(File, "Set1"), EQEBVozIzaError);
  EXPECT_TRUE(R.V.LoadLandMarks(File, ""));
  EXPECT_FALSE(R.V.LoadLandMarks(File, "set2"));
  EXPECT_FALSE(R.V.LoadLandMarks(TempPath("no_such_landmarks.xml"), ""));
  EXPECT_EQ(R.V.GetNumLandMarks(), T.V.GetNumLandMarks() - 1);
}

TEST(LandMarkFile, HandWrittenSets) {
  const std::string File = TempPath("lm_hand.xml");
  {
    std::ofstream F(File, std::ios::binary);
    F << "<?xml version=\"1.0\"?>\n<voziza sig=\"QEBCSuite\" id=\"m\">\n"
         "<GMLANDMARKS sig=\"qebcsuite\" id=\"a\"><landmark lat=\"1\"/>\n"
         "<landmark lat=\"47,5\" long=\"4.75E1\" alti=\"north\" class=\"300\" element=\"SPADE\""
         " capfst=\"0101\" id=\"abcdefghijklmnopqrst\"/>\n"
         "<Landmark element=\"plus\" capfst=\"1\" bogus=\"x\"/>\n<other/>\n"
         "<landmark element=\"user-defined\" transp=\"is TRUE\" lat = 2 long=\"3\" class=\"=\" "
         "size=\"9\"/>\n"
         "<landmark element=\"star\"/>\n"
         "</gmlandmarks>\n"
         "<gmlandmarks sig=\"QEBCSuite\" id=\"  B \">\n<landmark lat=\"9\"/>\n"
         "</voziza>\n<landmark lat=\"10\"/>\n";
  }
  TLandMarkView T;
  T.V.AddLandMark(5, 5, 5);
  T.V.SetHighLightLandMark(1);
  T.Events.clear();
  ASSERT_TRUE(T.V.LoadLandMarks(File, ""));
  EXPECT_TRUE(T.Events.empty());
  EXPECT_EQ(T.V.GetHighLightLandMark(), 1);
  ASSERT_EQ(T.V.GetNumLandMarks(), 4); // the tag on the header line is not read
  const TLandMark& L1 = T.V.GetLandMarkData(1);
  EXPECT_EQ(L1.Latitude, 47.5);
  EXPECT_EQ(L1.Longitude, 47.5);
  EXPECT_EQ(L1.Altitude, 0);
  EXPECT_EQ(L1.ClassFlag, 44);
  EXPECT_EQ(L1.SymbolProps.Kind, lmSpade);
  EXPECT_EQ(L1.Caption.FontStyles, fsItalic | fsStrikeOut);
  EXPECT_EQ(L1.Identifier.ToString(), "abcdefghijklmno");
  EXPECT_EQ(L1.Caption.FontName, "");
  EXPECT_EQ(T.V.GetLandMarkData(2).SymbolProps.Kind, lmPlus);
  EXPECT_EQ(T.V.GetLandMarkData(2).Caption.FontStyles, fsBold);
  // Blanks around a name and after '=' do not matter; '=' inside quotes is
  // a value like any other.
  const TLandMark& L3 = T.V.GetLandMarkData(3);
  EXPECT_EQ(L3.SymbolProps.Kind, lmUserDef);
  EXPECT_TRUE(L3.SymbolProps.Transparent);
  EXPECT_EQ(L3.Latitude, 2);
  EXPECT_EQ(L3.SymbolProps.Size, 9);
  EXPECT_EQ(T.V.GetLandMarkData(4).SymbolProps.Kind, lmCross);

  ASSERT_TRUE(T.V.LoadLandMarks(File, "b")); // ends at </voziza>
  ASSERT_EQ(T.V.GetNumLandMarks(), 1);
  EXPECT_EQ(T.V.GetLandMarkData(1).Latitude, 9);
  EXPECT_FALSE(T.V.LoadLandMarks(File, "c"));
  EXPECT_EQ(T.V.GetNumLandMarks(), 1);

  {
    std::ofstream F(File, std::ios::binary);
    F << "<gmlandmarks qebcsuite>\r\n";
    for (int I = 0; I < 2500; ++I)
      F << "<landmark lat=\"" << I << "\" long=1 na\"me\"=1 size=\"4\"/>\r\n";
  }
  ASSERT_TRUE(T.V.LoadLandMarks(File, "")); // ends at the end of the file
  EXPECT_EQ(T.V.GetNumLandMarks(), 2500);
  EXPECT_EQ(T.V.GetLandMarkCapacity(), 3000);
  EXPECT_EQ(T.V.GetLandMarkData(2500).Latitude, 2499);
  EXPECT_EQ(T.V.GetLandMarkData(2500).SymbolProps.Size, 0); // behind a malformed name
}
