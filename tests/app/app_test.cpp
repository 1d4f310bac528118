#include "app/data_windows.h"
#include "app/licence_text.h"
#include "app/menu_state.h"
#include "app/nimbrel_ini.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace nimbrel::test {
namespace {

struct Window {
  explicit Window(int* counter) : alive(counter) { ++*alive; }
  ~Window() { --*alive; }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  int* alive;
};

TEST(DataWindows, ThirtyThirdIsRefusedUntilOneCloses) {
  ScriptedPrompts prompts;
  int alive = 0;
  const auto make = [&] { return std::make_unique<Window>(&alive); };
  {
    CDataWindowTable<Window> table(prompts);
    for (int i = 0; i < 32; ++i) {
      ASSERT_NE(table.Open(make), nullptr);
    }
    EXPECT_EQ(table.Open(make), nullptr);
    EXPECT_EQ(alive, 32); // nothing is made for a refused window
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{kTooManyWindowsText});

    EXPECT_TRUE(table.Close(table.At(5)));
    Window* reopened = table.Open(make);
    EXPECT_EQ(table.At(5), reopened); // the first free slot
    EXPECT_EQ(table.Active(), reopened);
    EXPECT_TRUE(table.Close(reopened));
    EXPECT_EQ(table.Active(), nullptr); // the last opened is gone; no earlier one takes its place
    table.DestroyAll();
    EXPECT_EQ(alive, 0);
    ASSERT_NE(table.Open(make), nullptr);
  }
  EXPECT_EQ(alive, 0); // the table's end destroys what is still open
}

// Each piece of at most 127 characters ends in CR LF, however the file ends its lines.
TEST(LicenceText, PiecesOfAtMost127CharactersEachEndingCrLf) {
  const std::string l127(127, 'a');
  const std::string l200(200, 'b');
  // The file and what is shown of it; a line of exactly 127 has its line end as a piece of its own.
  const std::pair<std::string, std::string> rows[] = {
      {"MIT\nText\n", "MIT\r\nText\r\n"}, {"MIT\r\nText\r\n", "MIT\r\nText\r\n"},
      {"MIT\nText", "MIT\r\nText\r\n"},   {l200 + "\n", std::string(127, 'b') + "\r\n" + std::string(73, 'b') + "\r\n"},
      {l127 + "\n", l127 + "\r\n\r\n"},
  };
  for (const auto& [file, shown] : rows) {
    SCOPED_TRACE(file);
    TempDir dir;
    dir.Write("License.txt", file);
    EXPECT_EQ(LicenceText(dir.Path()), shown);
  }
  TempDir empty;
  EXPECT_EQ(LicenceText(empty.Path()), "");
}

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

TEST(NimbrelIni, ReadsTheHandbookPageAndTheGraphSize) {
  const std::string longPage(150, 'p');
  // The file ("-": none), and page|type|length|width read from it.
  const std::pair<std::string, std::string> cases[] = {
      {"HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=CUSTOM\r\nLENGHT=3000\r\nWIDTH=2000\r\n",
       "Help_Nimbrel\\HomeNBR.htm|custom|3000|2000"},
      {"HANDBOOK=  Help\\a b.htm  \t\r\n", "Help\\a b.htm|auto|2970|2100"},
      {"PRINT_GRAPH_TYPE=CUSTOM\nHANDBOOK = x.htm\nWIDTH=5\n", "|custom|2970|5"},
      {"HANDBOOK = x.htm\nPRINT_GRAPH_TYPE=CUSTOM\nWIDTH=1500\n", "x.htm|custom|2970|2100"},
      {"PRINT_GRAPH_TYPE=CUSTOM\nLENGHT=  2500mm  \nWIDTH=wide\n", "|custom|2500|0"},
      {"PRINT_GRAPH_TYPE=CUSTOM\nLENGHT=1\nWIDTH=2\nPRINT_GRAPH_TYPE=AUTO\n", "|auto|2970|2100"},
      // A line is read 127 characters at a time.
      {"HANDBOOK = " + longPage + "\n", longPage.substr(0, 116) + "|auto|2970|2100"},
      {"-", "|auto|2970|2100"},
  };
  for (const auto& [file, expected] : cases) {
    SCOPED_TRACE(file);
    TempDir dir;
    if (file != "-") {
      dir.Write(kNimbrelIni, file);
    }
    const Result<std::string> page = ReadHandbookPage(dir.Path());
    const Result<CPrintGraphSettings> size = ReadPrintGraphSettings(dir.Path());
    const CPrintGraphSettings& s = size.value();
    EXPECT_EQ(page.value() + (s.type == CGraphSizeType::Auto ? "|auto|" : "|custom|") + std::to_string(s.length) + "|" +
                  std::to_string(s.width),
              expected);
    const std::string message = file == "-" ? "Unable to open Nimbrel.ini" : "";
    EXPECT_EQ(page.status().message(), message);
    EXPECT_EQ(size.status().message(), message);
  }
}

TEST(NimbrelIni, GraphSizeDialogWritesTheWholeFile) {
  TempDir dir;
  dir.Write(kNimbrelIni, "HANDBOOK = mine.htm\nPRINT_GRAPH_TYPE=CUSTOM\nLENGHT=3000\nWIDTH=2000\nEXTRA\n");
  CPrintGraphSizeModel dialog(ReadPrintGraphSettings(dir.Path()).value());
  const auto boxes = [&dialog] {
    return (dialog.BoxesEnabled() ? "on|" : "off|") + dialog.LengthText() + "|" + dialog.WidthText();
  };
  EXPECT_EQ(boxes(), "on|3000|2000");
  dialog.ChooseAuto();
  EXPECT_EQ(boxes(), "off|2970|2100");
  ASSERT_TRUE(dialog.Save(dir.Path()).ok());
  EXPECT_EQ(dir.Read(kNimbrelIni), "HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=AUTO\r\n");

  dialog.ChooseCustom();
  EXPECT_EQ(boxes(), "on||");
  dialog.SetLengthText("2500 mm");
  dialog.SetWidthText("wide");
  ASSERT_TRUE(dialog.Save(dir.Path()).ok());
  EXPECT_EQ(dir.Read(kNimbrelIni),
            "HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=CUSTOM\r\nLENGHT=2500 mm\r\nWIDTH=wide\r\n");
  const CPrintGraphSettings taken = dialog.Taken();
  EXPECT_EQ(std::to_string(taken.length) + "|" + std::to_string(taken.width), "2500|0");

  // A program directory that is gone, and a Nimbrel.ini that is a folder, which stays as it was.
  std::filesystem::create_directories(dir / "folder" / kNimbrelIni);
  for (const auto& where : {dir / "gone", dir / "folder"}) {
    EXPECT_EQ(dialog.Save(where).message(), "Unable to open Nimbrel.ini") << where;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder" / kNimbrelIni));
}

} // namespace
} // namespace nimbrel::test
