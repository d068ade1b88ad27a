// Small string helpers of the base companion library: position of a text in a
// list of names, and reduction of a text to a harmless file name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qeb {

// 1 + the 0-based position of the first entry of List[0..High] equal to Text
// (exact, case-sensitive comparison), or 0 when Text is not among them.
// High is clamped to the list: a negative High searches nothing, one beyond
// the end searches the whole list.
int32_t StringIx(std::string_view Text, std::span<const std::string_view> List, int32_t High);
int32_t StringIx(std::string_view Text, std::span<const std::string> List, int32_t High);

// Text reduced to the characters that short (8.3) file names allow: ASCII
// letters and digits, '.', and ! # $ % & ' ( ) - @ ^ _ ` { } ~ are kept in
// order; everything else (blanks, '/', '\\', ':', '*', '?', '"', '<', '>',
// '|', '+', ',', ';', '=', '[', ']', control characters and every byte of a
// non-ASCII UTF-8 sequence) is dropped. The result carries no directory part,
// and a result made of dots only ("." or "..") is returned empty, so a name
// taken from a data file can never lead out of the folder it is appended to.
// The length is not limited.
std::string ReduceStringToFN83CompliantChars(std::string_view Text);

} // namespace qeb
