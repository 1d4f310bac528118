#include "data/open_save.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace nimbrel::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Records what the rules asked of the rest of the program, in order.
struct Host final : IOpenSaveHost {
  bool connected = false;
  Strings calls;
  [[nodiscard]] bool IsConnected() const override { return connected; }
  [[nodiscard]] std::string InstrumentType() const override { return "TBR4470"; }
  [[nodiscard]] std::string SerialNumber() const override { return "12345678"; }
  void Disconnect() override { calls.emplace_back("disconnect"); }
  void ClearDownloading() override { calls.emplace_back("downloading cleared"); }
  void SetTitle(const std::string& title) override { calls.push_back(title); }
  void CloseLastDataWindow() override { calls.emplace_back("close"); }
  void OpenDataWindow(const fs::path& file) override { calls.push_back("open " + file.filename().string()); }
};

// A program directory with a download not yet saved, a folder and a file a save may meet.
struct Rig {
  TempDir dir;
  ScriptedPrompts prompts;
  Host host;
  OpenSaveState state{dir / "DumpFile.rlg", false, true};
  COpenSave openSave{state, host, prompts, dir.Path()};
  Rig() {
    dir.Write("DumpFile.rlg", std::string("dump\r\r\nbytes\0\xff", 14));
    dir.Write("existing.rlg", "old");
    fs::create_directory(dir / "folder.rlg");
  }
};

TEST(SavePrompt, EveryAnswerReturnsAndClearsAsItShould) {
  // The answer to the question (none: saved before, nothing to ask), the file chosen, the result, the messages
  // after the question, and whether the data ends saved and cleared.
  const std::tuple<const char*, std::optional<Answer>, std::optional<std::string>, int, Strings, bool, bool> cases[] = {
      {"cancel", Answer::Cancel, {}, -1, {}, false, false},
      {"no", Answer::No, {}, 0, {}, false, true},
      {"yes, dialog cancelled", Answer::Yes, std::nullopt, 0, {}, false, false},
      {"yes, upper-case suffix", Answer::Yes, "existing.RLG", -1, {"ERROR: Bad File Extention"}, false, false},
      {"yes, folder as target", Answer::Yes, "folder.rlg", -1, {"Error : File not saved."}, false, false},
      {"yes, saved over a file", Answer::Yes, "existing.rlg", 0, {}, true, true},
      {"already saved", std::nullopt, {}, 0, {}, true, true},
  };
  for (const auto& [name, answer, file, result, messages, saved, cleared] : cases) {
    for (const bool connected : {false, true}) {
      SCOPED_TRACE(testing::Message() << name << (connected ? ", connected" : ""));
      Rig rig;
      rig.host.connected = connected;
      rig.state.dataSaved = !answer;
      if (answer) {
        rig.prompts.ExpectQuestion(kSaveCurrentDataText, *answer);
      }
      if (answer == Answer::Yes) {
        rig.prompts.ExpectFile(file ? std::optional(rig.dir / *file) : std::nullopt);
      }
      EXPECT_EQ(rig.openSave.SavePrompt(), result);
      EXPECT_TRUE(rig.prompts.AllAnswersUsed());
      Strings shown = rig.prompts.Texts();
      shown.erase(shown.begin(), shown.begin() + (answer ? 1 : 0));
      EXPECT_EQ(shown, messages);
      EXPECT_EQ(rig.state.dataSaved, saved);
      EXPECT_EQ(rig.state.currentDumpPath.empty() && !rig.state.dataDisplayed, cleared);
      const char* title = connected ? "Nimbrel TBR4470 - 12345678" : "Nimbrel";
      const Strings calls = cleared ? Strings{"downloading cleared", title, "close"} : Strings{};
      EXPECT_EQ(rig.host.calls, calls);
      const bool copied = saved && answer;
      EXPECT_EQ(rig.dir.Read("existing.rlg"), copied ? rig.dir.Read("DumpFile.rlg") : "old");
    }
  }
}

TEST(Open, AsksToDisconnectFirstAndOpensTheChosenFile) {
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    Rig rig;
    rig.state.dataDisplayed = false;
    rig.host.connected = true;
    rig.prompts.ExpectQuestion(kConfirmDisconnectToOpenText, answer);
    const bool yes = answer == Answer::Yes;
    if (yes) {
      rig.prompts.ExpectFile(rig.dir / "any.txt");
    }
    rig.openSave.Open();
    EXPECT_TRUE(rig.prompts.AllAnswersUsed());
    const Strings calls = yes ? Strings{"disconnect", "open any.txt"} : Strings{}; // any name is opened
    EXPECT_EQ(rig.host.calls, calls);
    EXPECT_EQ(rig.state.dataDisplayed, yes);
  }
}

TEST(SaveAs, MainWindowAndDataWindowCheckTheSuffixAndCopy) {
  // From a data window or not, the file chosen, the start of the one message if any, saved or not.
  const std::tuple<bool, const char*, const char*, bool> cases[] = {
      {false, "copy.RLG", "ERROR: Bad file extention.", false},
      {false, "folder.rlg", "Error : File not saved.", false},
      {false, "existing.rlg", nullptr, true},
      {true, "copy.Rlg", "ERROR: Bad File extention.", false},
      {true, "folder.rlg", "Error : File not saved.\n", true}, // counts as saved, but the user is told why not
      {true, "existing.rlg", nullptr, true},
  };
  for (const auto& [dataWindow, file, message, saved] : cases) {
    SCOPED_TRACE(file);
    Rig rig;
    rig.prompts.ExpectFile(rig.dir / file);
    if (dataWindow) {
      rig.openSave.SaveDataWindowAs(rig.dir / "DumpFile.rlg");
      EXPECT_EQ(rig.prompts.files.at(0).start, rig.dir.Path());
    } else {
      rig.openSave.SaveAs();
    }
    const Strings texts = rig.prompts.Texts();
    ASSERT_EQ(texts.size(), message ? 1U : 0U);
    EXPECT_TRUE(texts.empty() || texts[0].starts_with(message)) << texts[0];
    EXPECT_EQ(rig.state.dataSaved, saved);
    EXPECT_EQ(rig.dir.Read("existing.rlg"), message ? "old" : rig.dir.Read("DumpFile.rlg"));
  }
}

} // namespace
} // namespace nimbrel::test
