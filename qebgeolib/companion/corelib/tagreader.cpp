// The tag reader, written once over two kinds of input: a text held in
// memory (text files, memory streams) and a stream read in chunks.
#include "qebgeolib/companion/corelib/tagreader.h"

#include <algorithm>
#include <cstring>

#include "qebgeolib/platform/base/text.h"

namespace qeb {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Bytes already in memory; there is never more to come.
class TViewSource {
public:
  explicit TViewSource(std::string_view Data) : FData(Data) {}
  const char* Data() const { return FData.data(); }
  std::size_t Size() const { return FData.size(); }
  bool More() { return false; }

private:
  std::string_view FData;
};

// Bytes read from a stream on demand into a buffer that keeps everything this
// call has seen, so the scanner can step back to a '<' it looked past. The
// chunks start small, because a call usually consumes one short tag, and
// never reach past the stream's size.
class TStreamSource {
public:
  explicit TStreamSource(TStream& S)
      : FStream(S), FLeft(std::max<int64_t>(0, S.GetSize() - S.GetPosition())) {}
  const char* Data() const { return FBuf.data(); }
  std::size_t Size() const { return FBuf.size(); }
  bool More() {
    if (FLeft <= 0) return false;
    const int64_t Want = std::min<int64_t>(FLeft, FChunk);
    const std::size_t Old = FBuf.size();
    FBuf.resize(Old + static_cast<std::size_t>(Want));
    const int64_t Got = FStream.Read(FBuf.data() + Old, Want);
    FBuf.resize(Old + static_cast<std::size_t>(std::max<int64_t>(Got, 0)));
    FLeft = Got > 0 ? FLeft - Got : 0;
    FChunk = std::min<int64_t>(FChunk * 2, 64 * 1024);
    return Got > 0;
  }

private:
  TStream& FStream;
  int64_t FLeft;
  int64_t FChunk = 256;
  std::string FBuf;
};

constexpr char LowerAscii(char C) {
  return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C;
}
constexpr bool IsBlank(char C) {
  return static_cast<unsigned char>(C) <= ' ';
}

template <class TSource> class TTagScanner {
public:
  TTagScanner(TSource& Src, std::span<const std::string_view> Tags, std::size_t Last)
      : S(Src), FTags(Tags), FLast(Last) {}

  // Scans from Pos for the next listed tag. Returns its index, or -1 at the
  // end of the input (Pos then lies at the end). On success the byte ranges
  // of attributes and content are left in the members below, and Pos lies
  // after what the tag consumed.
  int32_t Next(std::size_t& Pos) {
    std::size_t P = Pos;
    for (;;) {
      const std::size_t Lt = Find('<', P);
      if (Lt == npos) return AtEnd(Pos);
      if (StartsWith(Lt + 1, "!--")) {
        const std::size_t E = FindSeq("-->", Lt + 4);
        if (E == npos) return AtEnd(Pos);
        P = E + 3;
        continue;
      }
      if (StartsWith(Lt + 1, "?")) {
        const std::size_t E = FindSeq("?>", Lt + 2);
        if (E == npos) return AtEnd(Pos);
        P = E + 2;
        continue;
      }
      const std::size_t N0 = Lt + 1;
      std::size_t J = N0;
      if (Has(J) && At(J) == '/') ++J;
      while (Has(J) && !IsBlank(At(J)) && At(J) != '/' && At(J) != '>')
        ++J;
      const std::size_t Gt = FindTagEnd(J);
      if (Gt == npos) return AtEnd(Pos);
      const int32_t Idx = Match(N0, J - N0);
      if (Idx < 0) {
        P = Gt + 1;
        continue;
      }
      const bool Closing = At(N0) == '/';
      const bool SelfClosing = Gt > J && At(Gt - 1) == '/';
      AttrBegin = J;
      AttrEnd = SelfClosing ? Gt - 1 : Gt;
      ContentBegin = ContentEnd = Gt + 1;
      if (Closing || SelfClosing) {
        Pos = Gt + 1;
        return Idx;
      }
      const std::size_t Lt2 = Find('<', Gt + 1);
      if (Lt2 == npos) {
        ContentEnd = S.Size();
        Pos = S.Size();
        return Idx;
      }
      ContentEnd = Lt2;
      Pos = ClosingTagEnd(Lt2, FTags[static_cast<std::size_t>(Idx)]);
      return Idx;
    }
  }

  std::size_t AttrBegin = 0, AttrEnd = 0, ContentBegin = 0, ContentEnd = 0;

private:
  int32_t AtEnd(std::size_t& Pos) {
    while (S.More()) {
    }
    Pos = S.Size();
    return -1;
  }

  bool Has(std::size_t I) {
    while (I >= S.Size())
      if (!S.More()) return false;
    return true;
  }
  char At(std::size_t I) const { return S.Data()[I]; }

  bool StartsWith(std::size_t I, std::string_view Seq) {
    if (!Has(I + Seq.size() - 1)) return false;
    return std::memcmp(S.Data() + I, Seq.data(), Seq.size()) == 0;
  }

  std::size_t Find(char C, std::size_t From) {
    for (;;) {
      if (From < S.Size()) {
        const void* Hit = std::memchr(S.Data() + From, C, S.Size() - From);
        if (Hit) return static_cast<std::size_t>(static_cast<const char*>(Hit) - S.Data());
        From = S.Size();
      }
      if (!S.More()) return npos;
    }
  }

  // The '>' that ends a tag whose name ends before From. A '>' inside a
  // double-quoted value does not end it, so captions may hold '>'. A quote
  // that is never closed is taken literally and the first '>' ends the tag.
  // That failed search looks at the rest of the input once, and it can fail
  // only once a file: after it no quote is left to search from.
  std::size_t FindTagEnd(std::size_t From) {
    const std::size_t FirstGt = Find('>', From);
    std::size_t Gt = FirstGt;
    for (std::size_t I = From; Gt != npos;) {
      // Gt < Size here, so [I, Gt) is in memory.
      const void* Quote = std::memchr(S.Data() + I, '"', Gt - I);
      if (!Quote) return Gt;
      const std::size_t Close =
          Find('"', static_cast<std::size_t>(static_cast<const char*>(Quote) - S.Data()) + 1);
      if (Close == npos) return FirstGt;
      I = Close + 1;
      if (Gt < I) Gt = Find('>', I);
    }
    return npos;
  }

  // Every step moves From forward, and the comparison is at most three bytes
  // long, so the search stays linear.
  std::size_t FindSeq(std::string_view Seq, std::size_t From) {
    for (;;) {
      const std::size_t I = Find(Seq[0], From);
      if (I == npos || !Has(I + Seq.size() - 1)) return npos;
      if (std::memcmp(S.Data() + I, Seq.data(), Seq.size()) == 0) return I;
      From = I + 1;
    }
  }

  bool EqualsAt(std::size_t I, std::string_view Name) {
    if (!Name.empty() && !Has(I + Name.size() - 1)) return false;
    for (std::size_t K = 0; K < Name.size(); ++K)
      if (LowerAscii(At(I + K)) != LowerAscii(Name[K])) return false;
    return true;
  }

  int32_t Match(std::size_t N0, std::size_t Len) {
    for (std::size_t I = 0; I <= FLast; ++I)
      if (FTags[I].size() == Len && EqualsAt(N0, FTags[I])) return static_cast<int32_t>(I);
    return -1;
  }

  // Where reading goes on after a content that stopped at the '<' at Lt: past
  // "</Name>" when that is what follows, else at the '<' itself.
  std::size_t ClosingTagEnd(std::size_t Lt, std::string_view Name) {
    if (!Has(Lt + 1) || At(Lt + 1) != '/' || !EqualsAt(Lt + 2, Name)) return Lt;
    std::size_t K = Lt + 2 + Name.size();
    while (Has(K) && IsBlank(At(K)))
      ++K;
    return Has(K) && At(K) == '>' ? K + 1 : Lt;
  }

  TSource& S;
  std::span<const std::string_view> FTags;
  std::size_t FLast;
};

std::string WithoutCr(const char* P, std::size_t N) {
  std::string R;
  R.reserve(N);
  for (std::size_t I = 0; I < N; ++I)
    if (P[I] != '\r') R.push_back(P[I]);
  return R;
}

std::string TrimmedWithoutCr(const char* P, std::size_t N) {
  std::size_t B = 0;
  while (B < N && IsBlank(P[B]))
    ++B;
  while (N > B && IsBlank(P[N - 1]))
    --N;
  return WithoutCr(P + B, N - B);
}

// Runs the scanner and fills the results; Decode turns the bytes of the
// input into UTF-8 text.
template <class TSource>
int32_t ScanTag(TSource& Src, std::span<const std::string_view> Tags, int32_t High,
                std::size_t& Pos, std::string& Attributes, std::string& Content, bool Decode) {
  const std::size_t Last = std::min(static_cast<std::size_t>(High), Tags.size() - 1);
  TTagScanner<TSource> Scanner(Src, Tags, Last);
  const int32_t Idx = Scanner.Next(Pos);
  if (Idx < 0) return High;
  const char* D = Src.Data();
  Attributes = TrimmedWithoutCr(D + Scanner.AttrBegin, Scanner.AttrEnd - Scanner.AttrBegin);
  Content = WithoutCr(D + Scanner.ContentBegin, Scanner.ContentEnd - Scanner.ContentBegin);
  if (Decode) {
    Attributes = DecodeExternalText(Attributes);
    Content = DecodeExternalText(Content);
  }
  return Idx;
}

} // namespace

int32_t ReadNextTagInTextFile(TTextFile& F, std::span<const std::string_view> Tags, int32_t High,
                              std::string& Attributes, std::string& Content) {
  Attributes.clear();
  Content.clear();
  if (F.Eof() || High < 0 || Tags.empty()) return High;
  TViewSource Src(std::string_view(F.Text()).substr(F.Position()));
  std::size_t Pos = 0;
  const int32_t Idx = ScanTag(Src, Tags, High, Pos, Attributes, Content, false);
  F.SetPosition(F.Position() + Pos);
  return Idx;
}

int32_t ReadNextTagInStream(TStream& S, std::span<const std::string_view> Tags, int32_t High,
                            std::string& Attributes, std::string& Content) {
  Attributes.clear();
  Content.clear();
  if (High < 0 || Tags.empty()) return High;
  const int64_t Start = S.GetPosition();
  std::size_t Pos = 0;
  int32_t Idx;
  if (auto* M = dynamic_cast<TMemoryStream*>(&S)) {
    const int64_t Size = M->GetSize();
    if (Start >= Size) return High;
    TViewSource Src(std::string_view(reinterpret_cast<const char*>(M->Memory()) + Start,
                                     static_cast<std::size_t>(Size - Start)));
    Idx = ScanTag(Src, Tags, High, Pos, Attributes, Content, true);
  } else {
    TStreamSource Src(S);
    Idx = ScanTag(Src, Tags, High, Pos, Attributes, Content, true);
  }
  S.SetPosition(Start + static_cast<int64_t>(Pos));
  return Idx;
}

} // namespace qeb
