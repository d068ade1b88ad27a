// The root of every exception the framework and the library raise, so that a
// caller catches qeb::Exception for all of them and std::exception for the
// rest.
#pragma once

#include <stdexcept>
#include <string>

namespace qeb {

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
};

// An allocation failed. Code that grows a table on request catches the
// standard library's std::bad_alloc (and std::length_error for sizes beyond
// the container) and raises this instead, after it has restored what it was
// changing, so callers meet one root for every failure and the process never
// aborts for a size it was merely asked for.
class EOutOfMemory : public Exception {
public:
  EOutOfMemory() : Exception("Out of memory") {}
  explicit EOutOfMemory(const std::string& Message) : Exception(Message) {}
};

} // namespace qeb
