// File-name helpers, file existence and renaming, the ASCII case and trim
// helpers of the framework, and the exceptions its file and conversion code
// raises.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "qebgeolib/platform/base/exception.h"

namespace qeb {

// A file operation failed. ErrorCode is the OS error number (errno), also for
// the framework's own refusals, which use the closest errno value (EBADF for
// a text file used in the wrong mode, EFBIG for a file too large to read).
// The message always names the file.
class EInOutError : public Exception {
public:
  EInOutError(const std::string& Message, int AErrorCode);
  // Message of the form: Action "FileName": <system text of the error code>.
  EInOutError(int AErrorCode, std::string_view Action, std::string_view FileName);

  int ErrorCode;
};

// A value cannot be converted or assigned (TPersistent::Assign).
class EConvertError : public Exception {
public:
  explicit EConvertError(const std::string& Message) : Exception(Message) {}
};

// True when the name denotes an existing file that is not a directory.
bool FileExists(const std::string& FileName);

// Renames or moves a file. Unlike POSIX rename(), an existing file of the new
// name is never replaced: the call then fails, as it does on the framework's
// home platform. False on any failure.
bool RenameFile(const std::string& OldName, const std::string& NewName);

// Deletes a file (never a directory); false when nothing was deleted.
bool DeleteFile(const std::string& FileName);

// Durable file replacement, for files that must survive a crash or power loss whole: after
// either call returns, the new content is on the disk under the target name, and at any moment
// before that the target holds its old content or the new one, never a mixture.
//
// Writes Count bytes to Name + ".tmp", flushes that file and its folder to the disk, renames it
// over Name and flushes the folder again. The temporary file is removed when a step fails.
// Raises EInOutError naming the file.
void ReplaceFileAtomically(const std::string& Name, const void* Bytes, int64_t Count);
// Renames From over To, replacing an existing To (unlike RenameFile), with From's content and
// both folders flushed to the disk before the rename and the folders again after it. Raises
// EInOutError naming the file.
void RenameFileReplacing(const std::string& From, const std::string& To);
// Flushes a file's content, or a folder's entries, to the disk. Raises EInOutError.
void SyncFileToDisk(const std::string& Name);

// FileName when it exists; otherwise the one file of its folder whose name
// equals its name part without regard to ASCII case (names written on a
// case-insensitive system, or lower-cased by a file format, still find their
// file). FileName unchanged when there is no such file or more than one.
std::string FindFileIgnoringCase(const std::string& FileName);

// Path helpers. Both '/' and '\' separate folders here, because data files
// made on Windows carry names such as "C:\maps\alps.jpg" that must split the
// same way on every host. The extension is the text from the last '.' of the
// name part, dot included (".bashrc" is all extension, "a." has ".").
std::string ExtractFilePath(std::string_view FileName); // folder with its trailing separator
std::string ExtractFileName(std::string_view FileName);
std::string ExtractFileExt(std::string_view FileName); // "" when the name has no '.'
std::string ChangeFileExt(std::string_view FileName, std::string_view Extension);

// Letter case of the ASCII letters only; every other byte, UTF-8 sequences
// included, is kept.
std::string LowerCase(std::string_view S);
std::string UpperCase(std::string_view S);
// Equality without regard to the case of ASCII letters.
bool SameText(std::string_view A, std::string_view B);

// Removes blanks and control characters (every byte up to ' ') at the ends.
std::string Trim(std::string_view S);
std::string TrimLeft(std::string_view S);
std::string TrimRight(std::string_view S);

std::string IntToStr(int64_t Value);

} // namespace qeb
