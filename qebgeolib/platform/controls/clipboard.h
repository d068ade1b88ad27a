// The clipboard: bitmaps and text put there and read back, through a
// replaceable backend. The default keeps them in the process; the Qt binding
// installs one on the system clipboard.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "qebgeolib/platform/base/classes.h"

namespace qeb {

class TBitmap;

enum TClipboardFormat : uint8_t { CF_TEXT, CF_BITMAP };

// The clipboard cannot give what was asked for.
class EClipboardException : public Exception {
public:
  explicit EClipboardException(const std::string& Message) : Exception(Message) {}
};

// Where the clipboard keeps its content. Putting one format there replaces
// whatever was there before.
class TClipboardBackend {
public:
  TClipboardBackend() = default;
  TClipboardBackend(const TClipboardBackend&) = delete;
  TClipboardBackend& operator=(const TClipboardBackend&) = delete;
  virtual ~TClipboardBackend() = default;

  virtual void Clear() = 0;
  virtual bool HasFormat(TClipboardFormat Format) = 0;
  virtual void SetBitmap(const TBitmap& Bitmap) = 0;
  // False, Dest unchanged, when there is no bitmap.
  virtual bool GetBitmap(TBitmap& Dest) = 0;
  virtual void SetText(const std::string& Text) = 0;
  // Empty when there is no text.
  virtual std::string GetText() = 0;
};

// The process's clipboard (Clipboard()). Assign(bitmap) puts a copy of the
// bitmap there; assigning the clipboard to a bitmap (Bmp.Assign(&Clipboard()))
// reads it back and raises EClipboardException
// "Clipboard does not contain a bitmap" when there is none.
class TClipboard : public TPersistent {
public:
  TClipboard();
  ~TClipboard() override;

  std::string_view ClassName() const override { return "TClipboard"; }
  // A TBitmap is copied to the clipboard; null clears it; other classes raise
  // EConvertError.
  void Assign(const TPersistent* Source) override;
  void AssignTo(TPersistent* Dest) const override;

  void Clear() { FBackend->Clear(); }
  bool HasFormat(TClipboardFormat Format) { return FBackend->HasFormat(Format); }
  bool GetBitmap(TBitmap& Dest) { return FBackend->GetBitmap(Dest); }
  std::string GetAsText() { return FBackend->GetText(); }
  void SetAsText(const std::string& Text) { FBackend->SetText(Text); }

  // Installs a backend (null: a fresh in-process one) and returns the one
  // it replaces.
  std::unique_ptr<TClipboardBackend> SetBackend(std::unique_ptr<TClipboardBackend> Backend);
  TClipboardBackend& GetBackend() { return *FBackend; }

private:
  std::unique_ptr<TClipboardBackend> FBackend;
};

TClipboard& Clipboard();

// The in-process backend.
std::unique_ptr<TClipboardBackend> NewMemoryClipboard();

} // namespace qeb
