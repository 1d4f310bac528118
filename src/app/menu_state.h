#pragma once

#include "protocol/maintenance.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel {

// Every command the main window offers in its menus and on its tool bar.
enum class ShellCommand {
  Open,
  SaveAs,
  PrinterSetup,
  PrintGraphSetting,
  Exit,
  Connect,
  Disconnect,
  InstrInfo,
  Download,
  Setup,
  ClearPartialCounter,
  ClearTotalCounter,
  EraseMemory,
  SetSerialNum,
  InstrumentBar,
  StatusBar,
  PortSettings,
  About,
  Licence,
  Handbook,
};
inline constexpr std::size_t kShellCommandCount = 20;

// What the main window's enabling depends on.
struct ShellInputs {
  bool connected = false;
  // A connection attempt is running: nothing that could start another procedure or touch the
  // port may be reached until it ends.
  bool connecting = false;
  bool downloading = false;
  bool dataPresent = false; // the last download's file is current (not yet saved or discarded)
  FactoryMarkers markers;
};

struct CommandState {
  bool enabled = false;
  std::string text; // the item text; empty for a factory command whose marker file is absent
};

// The state of every command, indexed by ShellCommand.
class ShellMenuState {
public:
  [[nodiscard]] const CommandState& operator[](ShellCommand c) const { return items_.at(static_cast<std::size_t>(c)); }
  CommandState& operator[](ShellCommand c) { return items_.at(static_cast<std::size_t>(c)); }

private:
  std::array<CommandState, kShellCommandCount> items_;
};

// The one enabling rule of the main window: menus and tool bar alike.
ShellMenuState MainWindowState(const ShellInputs& in);

// The fixed item text of a command ("&Open", "Instr. Setup ").
const char* CommandText(ShellCommand c);

// The status bar's prompt while the pointer rests on a command, and the tool bar's tooltip (empty
// for commands without a button).
struct CommandPrompt {
  const char* statusPrompt;
  const char* tooltip;
};
const CommandPrompt& PromptOf(ShellCommand c);

// The menus in order; nullopt stands for a separator.
struct MenuLayout {
  const char* title;
  std::vector<std::optional<ShellCommand>> items;
};
const std::vector<MenuLayout>& MainMenuLayout();
// The tool bar's buttons in order; nullopt stands for a separator.
const std::vector<std::optional<ShellCommand>>& ToolBarLayout();

// Ctrl+A opens a file, as File ▸ Open does.
inline constexpr const char* kOpenShortcut = "Ctrl+A";

} // namespace nimbrel
