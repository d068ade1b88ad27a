// A small strict JSON reader for the files the command line takes in (GeoJSON
// landmark sets). Strict: RFC 8259 grammar only, valid UTF-8, no duplicate
// keys in an object. Bounded: the text, the nesting, every string and number
// and the count of values have limits, so hostile input costs at most a known
// amount of memory and time and never overflows the stack.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qeb::cli {

// A refused text: the message names the line and column and what is wrong.
struct EJsonError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TJsonLimits {
  std::size_t MaxSize = std::size_t{32} << 20; // bytes of text
  int MaxDepth = 16;                           // nested arrays and objects
  std::size_t MaxString = 4096;                // bytes of one decoded string
  std::size_t MaxNumber = 40;                  // characters of one number
  std::size_t MaxValues = 2'000'000;           // values of every kind together
};

struct TJsonMember;

struct TJsonValue {
  enum TKind : unsigned char { jNull, jBool, jNumber, jString, jArray, jObject };
  TKind Kind = jNull;
  bool Bool = false;
  double Number = 0; // always finite
  std::string Text;  // a string, UTF-8
  std::vector<TJsonValue> Items;
  std::vector<TJsonMember> Members; // in the order of the text

  // The member named Key of an object; nullptr when absent or not an object.
  const TJsonValue* Find(std::string_view Key) const;
};

struct TJsonMember {
  std::string Name;
  TJsonValue Value;
};

// Kind names for messages: "null", "a boolean", "a number", ...
std::string_view JsonKindName(TJsonValue::TKind Kind);

// The one value Text holds (white space around it allowed). Numbers must be
// finite doubles: "1e999" is refused rather than read as infinity.
TJsonValue ParseJson(std::string_view Text, const TJsonLimits& Limits = {});

// The whole of a regular file (FIFOs and devices are refused, as is a file
// larger than Limits.MaxSize), parsed; errors name the file.
TJsonValue ReadJsonFile(const std::string& FileName, const TJsonLimits& Limits = {});

// Text as a JSON string literal, quotes included.
std::string JsonString(std::string_view Text);

} // namespace qeb::cli
