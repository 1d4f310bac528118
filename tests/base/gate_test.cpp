#include "base/gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimbrel {
namespace {

// What a modal dialog's event loop would run: the gate keeps the session's callbacks out of it and
// lets them through in their order once the last dialog closed.
TEST(Gate, CallbacksWaitWhileADialogIsOpenAndRunInOrderAfterIt) {
  std::vector<std::function<void()>> posted;
  CGate gate([&posted](std::function<void()> fn) { posted.push_back(std::move(fn)); });
  std::string ran;
  gate.Pass(0, [&] { ran += "a"; });
  EXPECT_EQ(ran, "a"); // open: at once

  gate.Close();
  gate.Pass(0, [&] { ran += "b"; });
  gate.Pass(7, [&] { ran += "t"; });
  gate.Pass(7, [&] { ran += "T"; }); // the same timer's next tick counts once
  gate.Pass(0, [&] { ran += "c"; });
  gate.Close(); // a dialog over the dialog
  gate.Open();
  EXPECT_TRUE(posted.empty());
  gate.Open();
  ASSERT_EQ(posted.size(), 1U);
  gate.Pass(0, [&] { ran += "d"; }); // came after the others: must not overtake them
  EXPECT_EQ(ran, "a");

  // The first waiting one opens a dialog of its own: the rest wait for that one too.
  gate.Pass(0, [&] {});
  std::vector<std::function<void()>> first;
  first.swap(posted);
  first[0]();
  EXPECT_EQ(ran, "abtcd");
  EXPECT_EQ(gate.Waiting(), 0U);

  gate.Close();
  gate.Pass(0, [&] {
    ran += "e";
    gate.Close();
  });
  gate.Pass(0, [&] { ran += "f"; });
  gate.Open();
  posted.back()();
  EXPECT_EQ(ran, "abtcde");
  EXPECT_EQ(gate.Waiting(), 1U);
  gate.Open();
  posted.back()();
  EXPECT_EQ(ran, "abtcdef");
}

} // namespace
} // namespace nimbrel
