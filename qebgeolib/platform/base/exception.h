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

} // namespace qeb
