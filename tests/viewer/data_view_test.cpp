#include "support/scripted_prompts.h"
#include "support/temp_dir.h"
#include "viewer/data_view.h"
#include "viewer/intervals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>

namespace nimbrel {
namespace {

// A file that cannot be read leaves an empty table under its name; the reason goes to the window.
TEST(DataView, AFileThatCannotBeReadIsTitledWithItsName) {
  test::TempDir dir;
  test::ScriptedPrompts prompts;
  CDataView missing(dir / "missing.rlg", prompts);
  EXPECT_FALSE(missing.Open());
  EXPECT_EQ(missing.Title(), (dir / "missing.rlg").string());
  EXPECT_EQ(missing.Series().LineCount(), 1U);
  EXPECT_FALSE(missing.LastError().empty());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(DataView, ChangingTheIntervalAsksBeforeExpandingAndFallsBackAfterCancel) {
  test::TempDir dir;
  // 5000 quarter hours from 2000/01/01 00:00:00, without a rain header: 35 kB opens by the hour; 52 days.
  std::string record = "TEMPERATURE (-TBR4470- Serial Num: 55555555)\n00000000\n";
  for (int i = 0; i < 5000; ++i) {
    record += " 20.25\n";
  }
  dir.Write("long.rlg", record);
  test::ScriptedPrompts prompts;
  std::atomic<bool> cancel{false};
  bool cancelNextRead = false;
  CDataView view(dir / "long.rlg", prompts, &cancel, [&] { cancel = cancel || cancelNextRead; });
  // The interval, its position in the list and the rows.
  const auto state = [&view] { return std::tuple(view.Interval(), view.ListPosition(), view.Series().RowCount()); };
  ASSERT_TRUE(view.Open());
  ASSERT_EQ(view.Interval(), 3600); // the interval the size suggests

  // A longer interval never asks.
  EXPECT_EQ(view.SelectPosition(*PositionOf(86400)), CDataView::Change::Regrouped);
  EXPECT_EQ(state(), std::tuple(86400, 13, 53U));

  // "1 sec" asks; No leaves everything as it was.
  prompts.ExpectQuestion(kExpandQuestion, Answer::No);
  EXPECT_EQ(view.SelectPosition(0), CDataView::Change::Unchanged);
  EXPECT_EQ(prompts.shown.back().icon, Icon::Exclamation);
  EXPECT_EQ(state(), std::tuple(86400, 13, 53U));

  // "1 hour": no question. "5 sec" asks; Yes, then Cancel during the reading: one day.
  EXPECT_EQ(view.SelectPosition(*PositionOf(3600)), CDataView::Change::Regrouped);
  EXPECT_EQ(view.ListPosition(), 8);
  prompts.ExpectQuestion(kExpandQuestion, Answer::Yes);
  cancelNextRead = true;
  EXPECT_EQ(view.SelectPosition(*PositionOf(5)), CDataView::Change::FellBackToOneDay);
  EXPECT_EQ(state(), std::tuple(86400, 13, 53U));
  EXPECT_TRUE(prompts.AllAnswersUsed());
  // That Cancel belonged to that reading: the next regrouping is not cancelled by it.
  cancelNextRead = false;
  EXPECT_EQ(view.SelectPosition(*PositionOf(3600)), CDataView::Change::Regrouped);
  // The title stays the one of the first reading.
  EXPECT_EQ(view.Title(), (dir / "long.rlg").string() + " ( TBR4470 - Ser. Num. :  5555555 )");

  // Too many rows (75000 by the minute) keep the previous interval, with a warning.
  view.SetMaxRows(10000);
  const auto before = state();
  const std::size_t shown = prompts.shown.size();
  EXPECT_EQ(view.SelectPosition(*PositionOf(60)), CDataView::Change::Unchanged);
  EXPECT_EQ(state(), before);
  ASSERT_EQ(prompts.shown.size(), shown + 1);
  EXPECT_NE(prompts.shown.back().text.find("choose a longer interval"), std::string::npos);
  EXPECT_EQ(prompts.shown.back().icon, Icon::Warning);
}

} // namespace
} // namespace nimbrel
