#include "link/link_event.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbrel {
namespace {

// One assembler and what it handed over, written as "R:line|" (Reply), "P:" (PageLine), "O:" (Overflow).
struct Assembler {
  CLineAssembler a;
  CLinkShared shared;
  std::string got;
  void Feed(const std::string& bytes) {
    for (char c : bytes) {
      a.Feed(c, shared, [this](const LinkEvent& e) {
        got += std::string(1, "RPOH"[static_cast<int>(e.kind)]) + ":" + e.line + "|";
      });
    }
  }
};

TEST(LineAssembler, OverflowDropsThePartialLineOnceAndAnEmptyRequestClearsIt) {
  Assembler r;
  r.shared.ReceiveEnabled = true;
  r.Feed(std::string(511, 'x'));
  EXPECT_EQ(r.got, "");
  r.Feed("xAB\n"); // the 513th byte starts the new line
  EXPECT_EQ(r.got, "O:|R:AB\n|");

  r.shared.ReceiveEnabled = true;
  r.Feed("stale");
  r.shared.EmptyBufferRequest = true;
  r.Feed("new\n");
  EXPECT_EQ(r.got, "O:|R:AB\n|R:new\n|");
}

} // namespace
} // namespace nimbrel
