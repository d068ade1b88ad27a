// File-name helpers and file operations on POSIX hosts.
#include "qebgeolib/platform/base/sysutils.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qeb {

EInOutError::EInOutError(const std::string& Message, int AErrorCode)
    : Exception(Message), ErrorCode(AErrorCode) {}

EInOutError::EInOutError(int AErrorCode, std::string_view Action, std::string_view FileName)
    : Exception(std::string(Action) + " \"" + std::string(FileName) +
                "\": " + std::generic_category().message(AErrorCode)),
      ErrorCode(AErrorCode) {}

bool FileExists(const std::string& FileName) {
  struct stat St;
  return !FileName.empty() && ::stat(FileName.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool RenameFile(const std::string& OldName, const std::string& NewName) {
  if (OldName.empty() || NewName.empty()) return false;
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, OldName.c_str(), AT_FDCWD, NewName.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  // Only file systems without the no-replace flag take the slower path.
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  struct stat St;
  if (::lstat(NewName.c_str(), &St) == 0) return false;
  return std::rename(OldName.c_str(), NewName.c_str()) == 0;
}

bool DeleteFile(const std::string& FileName) {
  return !FileName.empty() && ::unlink(FileName.c_str()) == 0;
}

namespace {

// The folder whose entry names a file: what must be flushed for a rename or a new file to last.
std::string FolderOf(const std::string& Name) {
  const std::string Parent = std::filesystem::path(Name).parent_path().string();
  return Parent.empty() ? std::string(".") : Parent;
}

} // namespace

void SyncFileToDisk(const std::string& Name) {
  const int Fd = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) throw EInOutError(errno, "Cannot open file", Name);
  // Some file systems refuse to flush a folder (EINVAL); they order their metadata themselves.
  if (::fsync(Fd) != 0 && errno != EINVAL) {
    const int Error = errno;
    ::close(Fd);
    throw EInOutError(Error, "Cannot flush file", Name);
  }
  ::close(Fd);
}

void RenameFileReplacing(const std::string& From, const std::string& To) {
  SyncFileToDisk(From);
  const std::string FromDir = FolderOf(From), ToDir = FolderOf(To);
  SyncFileToDisk(FromDir);
  if (ToDir != FromDir) SyncFileToDisk(ToDir);
  if (std::rename(From.c_str(), To.c_str()) != 0)
    throw EInOutError(errno, "Cannot rename file", From);
  SyncFileToDisk(ToDir);
  if (ToDir != FromDir) SyncFileToDisk(FromDir);
}

void ReplaceFileAtomically(const std::string& Name, const void* Bytes, int64_t Count) {
  const std::string Tmp = Name + ".tmp";
  try {
    const int Fd = ::open(Tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (Fd < 0) throw EInOutError(errno, "Cannot create file", Tmp);
    const auto* P = static_cast<const char*>(Bytes);
    for (int64_t Done = 0; Done < Count;) {
      const ssize_t N = ::write(Fd, P + Done, static_cast<std::size_t>(Count - Done));
      if (N < 0 && errno == EINTR) continue;
      if (N <= 0) {
        const int Error = N < 0 ? errno : EIO;
        ::close(Fd);
        throw EInOutError(Error, "Cannot write file", Tmp);
      }
      Done += N;
    }
    if (::close(Fd) != 0) throw EInOutError(errno, "Cannot write file", Tmp);
    RenameFileReplacing(Tmp, Name);
  } catch (...) {
    DeleteFile(Tmp);
    throw;
  }
}

std::string FindFileIgnoringCase(const std::string& FileName) {
  if (FileName.empty() || FileExists(FileName)) return FileName;
  namespace fs = std::filesystem;
  const std::string Dir = ExtractFilePath(FileName);
  const std::string Wanted = LowerCase(ExtractFileName(FileName));
  if (Wanted.empty()) return FileName;
  std::error_code Ec;
  fs::directory_iterator It(Dir.empty() ? fs::path(".") : fs::path(Dir), Ec);
  std::string Found;
  for (; !Ec && It != fs::directory_iterator(); It.increment(Ec)) {
    const std::string Entry = It->path().filename().string();
    if (LowerCase(Entry) != Wanted || !FileExists(Dir + Entry)) continue;
    if (!Found.empty()) return FileName; // ambiguous
    Found = Entry;
  }
  return Found.empty() ? FileName : Dir + Found;
}

namespace {

constexpr bool IsSeparator(char C) {
  return C == '/' || C == '\\';
}

// Index just after the last separator (0 when there is none).
std::size_t NameStart(std::string_view FileName) {
  std::size_t I = FileName.size();
  while (I > 0 && !IsSeparator(FileName[I - 1]))
    --I;
  return I;
}

// Index of the extension's dot, or npos.
std::size_t ExtStart(std::string_view FileName) {
  const std::size_t Dot = FileName.rfind('.');
  if (Dot == std::string_view::npos || Dot < NameStart(FileName)) return std::string_view::npos;
  return Dot;
}

constexpr char Lower(char C) {
  return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C;
}
constexpr char Upper(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C;
}
constexpr bool IsTrimmed(char C) {
  return static_cast<unsigned char>(C) <= ' ';
}

} // namespace

std::string ExtractFilePath(std::string_view FileName) {
  return std::string(FileName.substr(0, NameStart(FileName)));
}

std::string ExtractFileName(std::string_view FileName) {
  return std::string(FileName.substr(NameStart(FileName)));
}

std::string ExtractFileExt(std::string_view FileName) {
  const std::size_t Dot = ExtStart(FileName);
  return Dot == std::string_view::npos ? std::string() : std::string(FileName.substr(Dot));
}

std::string ChangeFileExt(std::string_view FileName, std::string_view Extension) {
  const std::size_t Dot = ExtStart(FileName);
  std::string R(FileName.substr(0, Dot == std::string_view::npos ? FileName.size() : Dot));
  R += Extension;
  return R;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (char& C : R)
    C = Lower(C);
  return R;
}

std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (char& C : R)
    C = Upper(C);
  return R;
}

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I)
    if (Lower(A[I]) != Lower(B[I])) return false;
  return true;
}

std::string Trim(std::string_view S) {
  return TrimRight(TrimLeft(S));
}

std::string TrimLeft(std::string_view S) {
  std::size_t I = 0;
  while (I < S.size() && IsTrimmed(S[I]))
    ++I;
  return std::string(S.substr(I));
}

std::string TrimRight(std::string_view S) {
  std::size_t N = S.size();
  while (N > 0 && IsTrimmed(S[N - 1]))
    --N;
  return std::string(S.substr(0, N));
}

std::string IntToStr(int64_t Value) {
  char Buf[24];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, Value);
  return std::string(Buf, R.ptr);
}

} // namespace qeb
