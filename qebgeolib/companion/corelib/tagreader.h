// Tag reader of the map module's XML-like files (calibration, landmark and
// symbol sets), on text files and on streams.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/textfile.h"

namespace qeb {

// Reads the next tag listed in Tags[0..High] and returns its index.
//
// These files are not general XML, and the reader is deliberately simple:
// - From the current position it looks for '<'. The tag name runs from there
//   to the first blank or control character, '/' or '>'; a '/' right after
//   the '<' belongs to the name, so a closing tag is listed as "/voziza".
// - Comments "<!-- ... -->", processing instructions "<? ... ?>" and tags
//   whose name is not listed are passed over. Names compare without regard to
//   the case of ASCII letters.
// - For a listed tag, Attributes is the text between the name and the first
//   '>' (a trailing '/' of a self-closing tag removed, CR characters dropped,
//   blanks and control characters trimmed at both ends). A '>' inside a
//   double-quoted value belongs to the value; a quote that is never closed
//   counts as a plain character, and the first '>' then ends the tag.
// - Content is empty for a closing tag ("</x>") and a self-closing tag
//   ("<x a="1"/>"). Otherwise it is the text after '>' up to the next '<', or
//   up to the end of the input, with CR characters dropped and LF kept, so it
//   may span lines. When that '<' opens the matching closing tag "</name>"
//   (letter case ignored, blanks allowed before its '>') the closing tag is
//   consumed as well; when it does not (a missing closing tag, or a container
//   such as "gmlandmarks" whose children follow) reading goes on at that '<',
//   so no following tag is lost.
// - At the end of the input, and at a tag, comment or processing instruction
//   that is never closed, the rest of the input is consumed and the result is
//   High, with Attributes and Content empty. Callers put a sentinel name
//   ("invalidtag") at Tags[High] and stop on it.
// - High beyond the end of Tags searches all of Tags and still answers High
//   at the end of the input. High < 0, or an empty Tags, answers High at once
//   without consuming anything.
// Each call reads the input once (at most the bytes of one failed closing-tag
// check are looked at twice), so a whole file is read in linear time.
//
// The text file form works on the decoded text of a file open for input,
// from the position where ReadLn stopped, and leaves the position just after
// what it consumed; it raises EInOutError when the file is not open for input.
int32_t ReadNextTagInTextFile(TTextFile& F, std::span<const std::string_view> Tags, int32_t High,
                              std::string& Attributes, std::string& Content);

// The same on a stream, from its current position; the position is left just
// after what was consumed. The bytes of the attributes and of the content
// are taken as UTF-8 when they are valid UTF-8, else as Windows-1252. Memory
// streams are read in place; other streams in growing chunks, never beyond
// their size.
int32_t ReadNextTagInStream(TStream& S, std::span<const std::string_view> Tags, int32_t High,
                            std::string& Attributes, std::string& Content);

} // namespace qeb
