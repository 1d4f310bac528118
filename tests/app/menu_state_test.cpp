#include "app/menu_state.h"

#include <gtest/gtest.h>

#include <functional>

namespace nimbrel::test {
namespace {

const char* const kNames[kShellCommandCount] = {
    "open",    "saveas", "printer", "graph",  "exit", "connect", "disconnect", "info",  "download", "setup",
    "partial", "total",  "erase",   "serial", "bar",  "status",  "port",       "about", "licence",  "handbook"};

// The short names of the commands for which `pick` holds.
std::string Names(const ShellMenuState& s, const std::function<bool(const CommandState&)>& pick) {
  std::string out;
  for (std::size_t i = 0; i < kShellCommandCount; ++i) {
    if (pick(s[static_cast<ShellCommand>(i)])) {
      out += std::string(out.empty() ? "" : " ") + kNames[i];
    }
  }
  return out;
}

TEST(MenuState, FollowsAWholeSession) {
  const FactoryMarkers factory{true, false}, none{}, eraseOnly{false, true};
  struct Case {
    const char* step;
    ShellInputs in;
    const char* disabled;
    const char* blank = "";
  };
  // clang-format off
  const Case cases[] = {
    {"start", {false, false, false, false, factory}, "saveas disconnect info download setup partial total erase serial"},
    {"connecting", {false, true, false, false, factory},
     "open saveas printer graph exit connect disconnect info download setup partial total erase serial port"},
    {"connected", {true, false, false, false, factory}, "saveas connect port"},
    {"downloading", {true, false, true, true, factory},
     "open saveas printer exit connect disconnect info download setup partial total erase serial port"},
    {"downloaded, not saved", {true, false, false, true, factory}, "open connect download port"},
    {"no marker files", {true, false, false, false, none}, "saveas connect erase serial port", "erase serial"},
    {"erase marker only", {true, false, false, false, eraseOnly}, "saveas connect serial port", "serial"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    const ShellMenuState s = MainWindowState(c.in);
    EXPECT_EQ(Names(s, [](const CommandState& i) { return !i.enabled; }), c.disabled);
    EXPECT_EQ(Names(s, [](const CommandState& i) { return i.text.empty(); }), c.blank);
  }
}

} // namespace
} // namespace nimbrel::test
