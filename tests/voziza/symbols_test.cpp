// The symbol repository: table semantics, backup, assignment, and the symbol
// files written and hand-written.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>

#include "qebgeolib/voziza/symbols.h"

using namespace qeb;

namespace {

std::string TmpFile(const std::string& Name) {
  return std::string(QEB_TEST_TMPDIR) + "/symbols_" + Name;
}

// Every field set from N; all zero but the kind for N = 0.
TSymbol Sym(TLandMarkElement Kind, int32_t N = 0, const std::string& Name = "") {
  TSymbol S;
  const auto U = static_cast<uint32_t>(N);
  S.Properties = {Kind, N, 0x00010101u * U, 0x01000000u * U, N % 2 == 1, -N * 7, N * 3};
  S.Name = TSymbolName::FromString(Name);
  S.Category = -N;
  return S;
}

} // namespace

TEST(SymbolRepository, TableBackupAndAssignment) {
  TSymbolRepository R(nullptr);
  const TSymbol Def = DefaultSymbolRecord();
  EXPECT_EQ(Def.Properties, (TSymbolProperties{lmCross, 8, 0, 0x000000FF, false, 90, 40}));
  R.SetNumEntries(3);
  R.SetNumEntries(-2);                  // ignored
  EXPECT_EQ(R.GetValues(3), TSymbol{}); // all zero, kind lmPlus
  EXPECT_EQ(R.GetValues(0), Def);
  EXPECT_EQ(R.GetValues(4), Def);
  R.Clear();
  EXPECT_EQ(R.GetValues(3), Def);
  // Entries beyond a smaller count do not come back when the count grows.
  R.SetValues(3, Sym(lmSpade, 3));
  R.SetNumEntries(1);
  R.SetNumEntries(3);
  EXPECT_EQ(R.GetValues(3), TSymbol{});

  R.SetValues(2, Sym(lmArrowTo, 2));
  R.Backup();
  R.SetValues(2, Sym(lmCircle, 6));
  R.SetNumEntries(7);
  R.Restore();
  EXPECT_EQ(R.GetNumEntries(), 3);
  EXPECT_EQ(R.GetValues(2), Sym(lmArrowTo, 2));

  // Assignment (either way round) copies table and backup.
  TSymbolRepository A(nullptr), B(nullptr);
  A.Assign(&R);
  static_cast<TPersistent&>(R).AssignTo(&B);
  R.SetValues(2, Sym(lmSquare, 9));
  R.SetNumEntries(0);
  R.Backup();
  for (TSymbolRepository* C : {&A, &B}) {
    C->SetNumEntries(0);
    C->Restore();
    EXPECT_EQ(C->GetValues(2), Sym(lmArrowTo, 2));
  }
  TComponent Other(nullptr);
  EXPECT_THROW(A.Assign(&Other), EConvertError);

  // A count no memory holds is refused and the table stays.
  EXPECT_THROW(A.SetNumEntries(std::numeric_limits<int32_t>::max()), EOutOfMemory);
  EXPECT_EQ(A.GetNumEntries(), 3);
  EXPECT_EQ(A.GetValues(2), Sym(lmArrowTo, 2));
}

TEST(SymbolRepository, StoreAndLoad) {
  TSymbolRepository R(nullptr);
  R.SetNumEntries(LandMarkElementCount + 1);
  for (int32_t K = 0; K < LandMarkElementCount; ++K)
    R.SetValues(K + 1, Sym(static_cast<TLandMarkElement>(K), K, "Na<m>e =" + std::to_string(K)));
  R.SetValues(11, Sym(lmCross, 11, "\"Zürich\"\x01"));
  const std::string F = TmpFile("kinds.xml");
  R.StoreOnFile(F, "MiXeD");

  std::ifstream In(F, std::ios::binary);
  const std::string Bytes{std::istreambuf_iterator<char>(In), {}};
  EXPECT_TRUE(Bytes.starts_with(
      "<?xml version=\"1.0\"?>\r\n\r\n<!-- TVozIza Landmark Repository / QEB Component Suite "
      "-->\r\n<lmsymbols sig=\"QEBCSuite\" vers=\"1.0\" id=\"MiXeD\">\r\n<symbol element=\"Plus\" "
      "name=\"Na<m>e =0\" category=\"0\" colorfg=\"00000000\" colorbg=\"00000000\" size=\"0\" "
      "transp=\"FALSE\" dir=\"0\" leng=\"0\" />\r\n"));
  EXPECT_TRUE(Bytes.ends_with("name=\"'Z\xFCrich' \" category=\"-11\" colorfg=\"000B0B0B\" "
                              "colorbg=\"0B000000\" size=\"11\" transp=\"TRUE\" dir=\"-77\" "
                              "leng=\"33\" />\r\n</lmsymbols>\r\n"));

  R.SetValues(11, Sym(lmCross, 11, "'Zürich' "));
  for (const char* Id : {"mixed", ""}) {
    TSymbolRepository Back(nullptr);
    ASSERT_TRUE(Back.LoadFromFile(F, Id)) << Id;
    ASSERT_EQ(Back.GetNumEntries(), 11);
    for (int32_t I = 1; I <= 11; ++I)
      EXPECT_EQ(Back.GetValues(I), R.GetValues(I)) << I;
  }
  // Windows-1252 bytes that would read as UTF-8 do not change the name.
  TSymbolRepository Mojibake(nullptr), Back(nullptr);
  Mojibake.SetNumEntries(1);
  Mojibake.SetValues(1, Sym(lmPlus, 1, "Ã© and Ã¼"));
  Mojibake.StoreOnFile(F, "");
  ASSERT_TRUE(Back.LoadFromFile(F, ""));
  EXPECT_EQ(Back.GetValues(1), Mojibake.GetValues(1));
  EXPECT_FALSE(Back.LoadFromFile(F, "other"));
  EXPECT_FALSE(Back.LoadFromFile(TmpFile("missing.xml"), ""));
}

TEST(SymbolRepository, HandWrittenFiles) {
  const std::string Head = "<lmsymbols sig=\"QEBCSuite\" vers=\"1.0\" id=\"";
  const std::string TwoSets = Head + "a\">\n<symbol element=\"Plus\"/>\n</lmsymbols>\n" + Head +
                              "b\">\n<symbol element=\"Circle\"/>\n<symbol/>\n</lmsymbols>\n";
  TSymbol Mixed = Sym(lmSpade);
  Mixed.Properties = {lmSpade, 5, 0xFF, 0, true, 1, 12};
  Mixed.Name = TSymbolName::FromString("x");
  TSymbol Long = Sym(lmCross);
  Long.Name = TSymbolName::FromString(std::string(40, 'n'));
  const struct {
    std::string Text, Id;
    int32_t Count; // -1: no set found
    TSymbol First;
  } Cases[] = {
      // Letter case everywhere, the identifier between blanks, any order.
      {"<?xml?>\n<LMSymbols SIG=\"qebcsuite\" ID=\" B \">\n<SYMBOL Transp=\"True\" "
       "ELEMENT=\"spade\" Name=\"x\" SIZE=\"+5\" colorFG=\"ff\" dir = \"1\" leng=12 "
       "/>\n</LMSYMBOLS>",
       "b", 1, Mixed},
      // Missing attributes read as zero, an unknown element as a cross;
      // other tags are passed over; a name is cut to 40 characters.
      {Head + "\">\n<foo a=\"1\"/><landmark lat=\"1\"/>\n<symbol element=\"star\" name=\"" +
           std::string(50, 'n') + "\"/>\n<symbol/>\n</lmsymbols>",
       "", 2, Long},
      {TwoSets, "", 1, Sym(lmPlus)},
      {TwoSets, "B", 2, Sym(lmCircle)},
      // No closing tag: "</voziza>" ends the set; the header line's own
      // symbol is not read.
      {Head + "\"><symbol/>\n<symbol element=\"Square\"/></voziza><symbol/>", "", 1, Sym(lmSquare)},
      {"<lmsymbols id=\"\">\n<symbol/>\n<gmlandmarks sig=\"QEBCSuite\">\n<symbol/>\n", "", -1,
       DefaultSymbolRecord()},
  };
  const std::string F = TmpFile("hand.xml");
  for (const auto& C : Cases) {
    std::ofstream(F, std::ios::binary) << C.Text;
    TSymbolRepository R(nullptr);
    R.SetNumEntries(3); // what a file without the set must leave
    R.Clear();
    EXPECT_EQ(R.LoadFromFile(F, C.Id), C.Count >= 0) << C.Text;
    EXPECT_EQ(R.GetNumEntries(), C.Count >= 0 ? C.Count : 3) << C.Text;
    EXPECT_EQ(R.GetValues(1), C.First) << C.Text;
  }
}
