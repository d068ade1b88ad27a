// qebgeo subcommands of the database module.
#include "tools/qebgeo/cli.h"

namespace qeb::cli {

void AddDbCommands(std::vector<TCommand>&) {}

void DemoDb() {}

} // namespace qeb::cli
