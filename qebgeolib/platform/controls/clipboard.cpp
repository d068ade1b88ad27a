// The clipboard object and its in-process backend.
#include "qebgeolib/platform/controls/clipboard.h"

#include <optional>

#include "qebgeolib/platform/graphics/bitmap.h"

namespace qeb {

namespace {

// Holds one format at a time, as a system clipboard does.
class TMemoryClipboard : public TClipboardBackend {
public:
  void Clear() override {
    FBitmap.reset();
    FText.reset();
  }
  bool HasFormat(TClipboardFormat Format) override {
    return Format == CF_BITMAP ? FBitmap != nullptr : FText.has_value();
  }
  void SetBitmap(const TBitmap& Bitmap) override {
    auto B = std::make_unique<TBitmap>();
    B->Assign(&Bitmap);
    Clear();
    FBitmap = std::move(B);
  }
  bool GetBitmap(TBitmap& Dest) override {
    if (!FBitmap) return false;
    Dest.Assign(FBitmap.get());
    return true;
  }
  void SetText(const std::string& Text) override {
    Clear();
    FText = Text;
  }
  std::string GetText() override { return FText.value_or(std::string()); }

private:
  std::unique_ptr<TBitmap> FBitmap;
  std::optional<std::string> FText;
};

} // namespace

std::unique_ptr<TClipboardBackend> NewMemoryClipboard() {
  return std::make_unique<TMemoryClipboard>();
}

TClipboard::TClipboard() : FBackend(NewMemoryClipboard()) {}

TClipboard::~TClipboard() = default;

void TClipboard::Assign(const TPersistent* Source) {
  if (Source == nullptr) {
    Clear();
  } else if (const auto* B = dynamic_cast<const TBitmap*>(Source)) {
    FBackend->SetBitmap(*B);
  } else {
    TPersistent::Assign(Source);
  }
}

void TClipboard::AssignTo(TPersistent* Dest) const {
  if (auto* B = dynamic_cast<TBitmap*>(Dest)) {
    if (!FBackend->GetBitmap(*B)) throw EClipboardException("Clipboard does not contain a bitmap");
  } else {
    TPersistent::AssignTo(Dest);
  }
}

std::unique_ptr<TClipboardBackend>
TClipboard::SetBackend(std::unique_ptr<TClipboardBackend> Backend) {
  if (!Backend) Backend = NewMemoryClipboard();
  std::swap(Backend, FBackend);
  return Backend;
}

TClipboard& Clipboard() {
  // Never destroyed: a backend may be in use until the process ends.
  static TClipboard& C = *new TClipboard;
  return C;
}

} // namespace qeb
