#include "qebgeolib/companion/corelib/base.h"

namespace qeb {

double ProcStat = 0;
std::function<void(double)> MathFeedBackProc;
bool AbortMathProc = false;

} // namespace qeb
