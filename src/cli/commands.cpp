#include "cli/commands.h"

#include <cstdio>

namespace nimbrel::cli {

std::span<const Command> Commands() {
  static const Command commands[] = {
      {"version", "print the program version", [](const QStringList&) -> int {
         std::printf("nimbrel-cli " NIMBREL_VERSION "\n");
         return kExitOk;
       }},
  };
  return commands;
}

} // namespace nimbrel::cli
