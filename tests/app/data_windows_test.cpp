#include "app/data_windows.h"
#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace nimbrel::test
