#pragma once

#include <array>
#include <string>
#include <vector>

namespace nimbrel {

// What the setup reads, in the order it is queued: the memory pointers (a memory clear offered by
// Apply sends the write pointers back), the settings, the identity, the clock, and the unit before
// the tip value, whose reply opens the dialog.
const std::array<int, 15>& SetupReadCommands();

inline constexpr const char* kReceivingSetupText = "Receiving Setup parameter from instrument...\r\nPlease wait";
inline constexpr const char* kSendingSetupText = "Sending Setup parameter to instrument...\r\nPlease wait";
inline constexpr const char* kSetupTitle = "Nimbrel Setup";

// One command to queue: its number and its parameter text.
struct SetupCommand {
  int number = -1;
  std::string parameter;
  bool operator==(const SetupCommand&) const = default;
};

// What Apply hands to the session to send, in queue order.
struct SetupWritePlan {
  std::vector<SetupCommand> commands;
  // The user agreed to clear the memory: the two pointer commands lead the list.
  bool clearsMemory = false;
  std::string waitText = kSendingSetupText;
};

// The memory write pointers the setup read found, sent back to clear the memory.
struct SetupPointers {
  int writePointerR = 0;
  int writePointerT = 0;
};

} // namespace nimbrel
