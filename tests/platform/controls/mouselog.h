// Test helper shared by the headless and the Qt mouse tests: one log line for
// a mouse event, so both runs of the same script can be compared line by line.
#pragma once

#include <string>
#include <utility>

#include "qebgeolib/platform/controls/controls.h"

namespace qeb::test {

// "<What> <shift letters> <X>,<Y>": S A C for Shift, Alt, Ctrl; l r m for the
// buttons held; d for the second press of a double click.
inline std::string Mouse(const char* What, TShiftState S, int32_t X, int32_t Y) {
  std::string T = What;
  T += ' ';
  for (auto [Bit, Letter] : {std::pair{ssShift, 'S'},
                             {ssAlt, 'A'},
                             {ssCtrl, 'C'},
                             {ssLeft, 'l'},
                             {ssRight, 'r'},
                             {ssMiddle, 'm'},
                             {ssDouble, 'd'}})
    if (S & Bit) T += Letter;
  return T + " " + std::to_string(X) + "," + std::to_string(Y);
}

} // namespace qeb::test
