// Test helper of every module: the message of the exception a call raises.
#pragma once

#include <exception>
#include <string>

namespace qeb::test {

// The what() of the exception Fn raises, or "(no error)".
template <class F> std::string ErrorOf(F&& Fn) {
  try {
    Fn();
  } catch (const std::exception& E) {
    return E.what();
  }
  return "(no error)";
}

} // namespace qeb::test
