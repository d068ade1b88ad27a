#include "qebgeolib/companion/corelib/filesys.h"

namespace qeb {

namespace {

// Index of the first character of the file name part.
size_t NameStart(std::string_view Name) {
  const size_t Sep = Name.find_last_of("/\\");
  return Sep == std::string_view::npos ? 0 : Sep + 1;
}

} // namespace

std::string StripPath(std::string_view Name) {
  return std::string(Name.substr(NameStart(Name)));
}

std::string StripExtension(std::string_view Name) {
  const size_t Start = NameStart(Name);
  const size_t Dot = Name.find_last_of('.');
  if (Dot == std::string_view::npos || Dot < Start) return std::string(Name);
  // A leading run of dots names a hidden file (or "." / ".."), not an extension.
  const size_t FirstOther = Name.find_first_not_of('.', Start);
  if (FirstOther == std::string_view::npos || FirstOther > Dot) return std::string(Name);
  return std::string(Name.substr(0, Dot));
}

} // namespace qeb
