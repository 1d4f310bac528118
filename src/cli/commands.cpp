#include "cli/commands.h"

#include "cli/data_commands.h"

#include <cstdio>

namespace nimbrel::cli {

std::span<const Command> Commands() {
  static const Command commands[] = {
      {"version", "print the program version", [](const QStringList&) -> int {
         std::printf("nimbrel-cli " NIMBREL_VERSION "\n");
         return kExitOk;
       }},
      {"table", "write the table text of a .rlg file (as the clipboard gets it)", RunTable},
      {"export", "export the table of a .rlg file as a spreadsheet (.xlsx)", RunExport},
      {"stats", "rain, intensity and temperature statistics of a .rlg file", RunStats},
  };
  return commands;
}

} // namespace nimbrel::cli
