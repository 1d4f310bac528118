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

TEST(LineAssembler, DuringADownloadPageLinesLeaveReceptionOnAndARefusalIsAReply) {
  Assembler d;
  d.shared.ReceiveEnabled = true;
  d.shared.Downloading = true;
  d.Feed("0B5C2E41\r\n");
  EXPECT_TRUE(d.shared.ReceiveEnabled) << "a page line leaves reception on";
  d.Feed("?\r\n");
  EXPECT_EQ(d.got, "P:0B5C2E41\r\n|R:?\r\n|");
  EXPECT_FALSE(d.shared.ReceiveEnabled);
}

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
