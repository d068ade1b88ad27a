// qebgeo subcommands of the calibration module.
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

void AddCalibCommands(std::vector<TCommand>&) {}

void DemoCalib() {}

} // namespace qeb::cli
