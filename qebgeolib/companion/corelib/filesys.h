// File-name helpers of the base companion library. Both '/' and '\\' separate
// directories, so names written on either kind of system are taken apart alike.
#pragma once

#include <string>
#include <string_view>

namespace qeb {

// Name without its directory: everything after the last '/' or '\\' (all of
// Name when it has no separator; empty when it ends with one).
std::string StripPath(std::string_view Name);

// Name without its last extension, the directory kept: "d/map.v2.jpg" gives
// "d/map.v2", "map." gives "map". Unchanged when the file name part has no
// extension: a dot inside a directory name does not count ("d.x/map" stays),
// nor does a dot that only dots precede in the file name, so ".profile",
// "..cfg", "." and ".." stay as they are while ".profile.bak" gives ".profile".
std::string StripExtension(std::string_view Name);

} // namespace qeb
