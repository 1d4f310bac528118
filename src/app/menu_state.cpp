#include "app/menu_state.h"

namespace nimbrel {

namespace {

struct CommandInfo {
  const char* text;
  CommandPrompt prompt;
};

// clang-format off
const std::array<CommandInfo, kShellCommandCount> kCommands = {{
  {"&Open", {"Open a Nimbrel data file",
             "Open file is available only if no download is running and no data are already dumped"}},
  {"Save as...", {"Save the downloaded data to a file of your choice",
                  "Save as is available only if data are dumped and no download is running"}},
  {"Printer setup...", {"Choose the printer and its settings", ""}},
  {"Print Graph Setting...", {"Choose the size of the printed graph", ""}},
  {"&Exit", {"Quit Nimbrel", ""}},
  {"Connect", {"Connect to the instrument",
               "Connect is available only if no connection is established and no data are already dumped"}},
  {"Disconnect", {"Disconnect from the instrument",
                  "Disconnect is available only if connection is established and no download is running"}},
  {"Instr. Info", {"Show the identity of the connected instrument", ""}},
  {"Download Data", {"Download the instrument memory to the PC",
                     "Download data on PC  is available only if connection is established and no data are already dumped"}},
  {"Instr. Setup ", {"Read and change the instrument settings",
                     "Instrument setup is available only if connection is established"}},
  {"Clear Partial Counter", {"Clear the partial rain counter of the instrument",
                             "Clear partial counter is available only if connection is established"}},
  {"Clear Total Counter", {"Clear the total rain counter of the instrument",
                           "Clear total counter is available only if connection is established"}},
  {"ERASE MEMORY", {"Erase the instrument memory", ""}},
  {"SET SERIAL NUM", {"Set the serial number of the instrument", ""}},
  {"Instrument bar", {"Show or hide the instrument bar", ""}},
  {"Status bar", {"Show or hide the status bar", ""}},
  {"Port settings", {"Choose the serial port of the instrument",
                     "Port settings are available only if no connection is established"}},
  {"Nimbrel Info", {"Show the program version", ""}},
  {"Nimbrel Licence", {"Show the licence of Nimbrel", ""}},
  {"Nimbrel Handbook", {"Open the Nimbrel handbook", "Nimbrel Handbook"}},
}};
// clang-format on

const CommandInfo& InfoOf(ShellCommand c) {
  return kCommands.at(static_cast<std::size_t>(c));
}

} // namespace

const char* CommandText(ShellCommand c) {
  return InfoOf(c).text;
}

const CommandPrompt& PromptOf(ShellCommand c) {
  return InfoOf(c).prompt;
}

ShellMenuState MainWindowState(const ShellInputs& in) {
  using C = ShellCommand;
  const bool connected = in.connected;
  const bool downloading = in.downloading;
  const bool data = in.dataPresent;
  const bool session = connected && !downloading; // connected and free for a new procedure

  ShellMenuState s;
  const auto set = [&s](C c, bool enabled) { s[c] = {enabled, CommandText(c)}; };
  set(C::Open, !downloading && !data);
  set(C::SaveAs, !downloading && data);
  set(C::PrinterSetup, !downloading);
  set(C::PrintGraphSetting, true);
  set(C::Exit, !downloading);
  set(C::Connect, !downloading && !connected && !data);
  set(C::Disconnect, session);
  set(C::InstrInfo, session);
  set(C::Download, session && !data);
  set(C::Setup, session);
  set(C::ClearPartialCounter, session);
  set(C::ClearTotalCounter, session);
  set(C::EraseMemory, session && in.markers.EraseOffered());
  set(C::SetSerialNum, session && in.markers.SetSerialOffered());
  set(C::InstrumentBar, true);
  set(C::StatusBar, true);
  set(C::PortSettings, !connected);
  set(C::About, true);
  set(C::Licence, true);
  set(C::Handbook, true);

  // Without its marker a factory command shows a blank item and does nothing.
  if (!in.markers.EraseOffered()) {
    s[C::EraseMemory].text.clear();
  }
  if (!in.markers.SetSerialOffered()) {
    s[C::SetSerialNum].text.clear();
  }

  // During a connection attempt only the bars and the information windows stay reachable: the
  // attempt owns the port and the session until it ends.
  if (in.connecting) {
    for (std::size_t i = 0; i < kShellCommandCount; ++i) {
      const auto c = static_cast<C>(i);
      if (c != C::InstrumentBar && c != C::StatusBar && c != C::About && c != C::Licence && c != C::Handbook) {
        s[c].enabled = false;
      }
    }
  }
  return s;
}

const std::vector<MenuLayout>& MainMenuLayout() {
  using C = ShellCommand;
  static const std::vector<MenuLayout> menus = {
      {"&File", {C::Open, C::SaveAs, std::nullopt, C::PrinterSetup, C::PrintGraphSetting, std::nullopt, C::Exit}},
      {"&Instrument",
       {C::Connect, C::Disconnect, std::nullopt, C::InstrInfo, std::nullopt, C::Download, std::nullopt, C::Setup,
        std::nullopt, C::ClearPartialCounter, C::ClearTotalCounter, C::EraseMemory, C::SetSerialNum}},
      {"&View", {C::InstrumentBar, C::StatusBar}},
      {"&Option", {C::PortSettings}},
      {"&?", {C::About, C::Licence, C::Handbook}},
  };
  return menus;
}

const std::vector<std::optional<ShellCommand>>& ToolBarLayout() {
  using C = ShellCommand;
  static const std::vector<std::optional<ShellCommand>> buttons = {
      C::Open,      C::SaveAs,  std::nullopt, C::Connect,           C::Disconnect,
      C::Download,  C::Setup,   std::nullopt, C::ClearTotalCounter, C::ClearPartialCounter,
      std::nullopt, C::Handbook};
  return buttons;
}

} // namespace nimbrel
