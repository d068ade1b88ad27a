// The GDAL tests' way to run GDAL's command-line tools.
#pragma once

#include <cstdio>
#include <string>

namespace qeb::gdal {

// What Cmd prints on standard output; its error output is dropped.
inline std::string Shell(const std::string& Cmd) {
  std::string Out;
  FILE* P = popen((Cmd + " 2>/dev/null").c_str(), "r");
  if (!P) return Out;
  char Buf[4096];
  size_t N;
  while ((N = fread(Buf, 1, sizeof Buf, P)) > 0)
    Out.append(Buf, N);
  pclose(P);
  return Out;
}

} // namespace qeb::gdal
