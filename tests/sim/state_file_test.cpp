#include "sim/state_file.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

using test::MakeInstrument;
using test::One;

TEST(SimStateFile, RoundTripKeepsEverythingTheInstrumentAnswers) {
  InstrumentState state = test::Generated(9, 40, 0, 1440, 1995); // wrapped
  state.memory.rain.overrun = true;
  Instrument instr = MakeInstrument(state);
  // Change what the commands can change.
  for (const char* write : {"WB1", "WA0.01181", "WC1", "WD1", "DS AB:7 ", "DA2027/02/03 04:05:06", "WW1460", "K0"}) {
    ASSERT_EQ(One(instr, write), "OK") << write;
  }
  const std::string text = SaveStateText(instr.State());
  InstrumentState loaded;
  std::string error;
  ASSERT_TRUE(LoadStateText(text, loaded, &error)) << error;
  EXPECT_EQ(SaveStateText(loaded), text);
  Instrument again = MakeInstrument(loaded);
  const std::string reads =
      "AA\rAS\rAG\rAH\rFA\rRZ\rRQ\rRN\rRM\rRS\rRU\rRT\rRW\rRA\rRB\rRC\rRD\rKR0000\rKS1460\rKS2000\r";
  EXPECT_EQ(again.Receive(reads).Bytes(), instr.Receive(reads).Bytes());
  EXPECT_EQ(again.ExpectedDump(false), instr.ExpectedDump(false));
  EXPECT_EQ(again.State().partialCounter, 0U);
  EXPECT_EQ(again.State().totalCounter, instr.State().totalCounter);
  EXPECT_EQ(again.State().memory.rain.sealed, instr.State().memory.rain.sealed);
  EXPECT_EQ(again.State().memory.temp.read, 1460);
}

TEST(SimStateFile, DamagedFilesAreRejectedWithAReason) {
  const std::string good = SaveStateText(test::Generated(2, 3));
  auto replace = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    const auto pos = text.find(from);
    EXPECT_NE(pos, std::string::npos) << from;
    return pos == std::string::npos ? text : text.replace(pos, from.size(), to);
  };
  struct Case {
    std::string text;
    const char* reason;
  };
  for (const Case& c :
       {Case{"", "not a tbr4470-sim state file"}, Case{"hello\n", "not a tbr4470-sim state file"},
        Case{good.substr(0, good.size() - 4), "ends early"}, Case{replace("unit 0", "unit 2"), "bad unit"},
        Case{replace("tip 0.2", "tip x"), "bad tip"}, Case{replace("rain ", "rain 1453 "), "pointers"},
        Case{replace("temp ", "temp 0 "), "pointers"}, Case{replace("page 1|", "page 1500|"), "bad page"},
        Case{replace("battery", "colour"), "unknown key"}, Case{replace("partial", "partial -"), "bad partial"}}) {
    InstrumentState state;
    state.settings.serial = "untouched";
    std::string error;
    EXPECT_FALSE(LoadStateText(c.text, state, &error)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(state.settings.serial, "untouched") << "nothing loaded from a damaged file";
  }
}

} // namespace
} // namespace sim
