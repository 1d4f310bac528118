#include "setup/wait_progress.h"
#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace nimbrel::test {
namespace {

TEST(WaitProgress, StepsWrapAndTimeOutOnceAcrossHideAndShow) {
  ManualScheduler scheduler;
  ScriptedPrompts prompts;
  CWaitProgress wait(scheduler, prompts);
  wait.Show("Receiving");
  scheduler.Advance(Millis(10 * 250));
  EXPECT_EQ(wait.Position(), 100);
  scheduler.Advance(Millis(250));
  EXPECT_EQ(wait.Position(), 0);

  scheduler.Advance(Millis(89 * 250));
  wait.Hide();
  scheduler.Advance(Millis(60000));
  EXPECT_EQ(wait.Steps(), 100); // no steps while hidden

  wait.Show("Sending"); // shown again, not made again: the count goes on
  EXPECT_EQ(wait.Position(), 0);
  scheduler.Advance(Millis(20 * 250));
  EXPECT_TRUE(prompts.shown.empty());
  scheduler.Advance(Millis(250));
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"ERROR: timeout expired"});
  scheduler.Advance(Millis(60000));
  EXPECT_EQ(prompts.shown.size(), 1U);
  EXPECT_TRUE(wait.Visible()); // the dialog stays open
}

} // namespace
} // namespace nimbrel::test
