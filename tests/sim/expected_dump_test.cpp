#include "sim/instrument.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace sim {
namespace {

using test::MakeInstrument;
using test::One;

std::string Stored(const std::string& line) {
  return line + "\r\r\n";
}

const std::string kHeader = "********** Nimbrel   -TBR4470-   Serial Num:12345678 **********\r\r\n"
                            "\r\r\n"
                            "mm H2O per tip = 0.20000\r\r\n"
                            "Unit Meas =0\r\r\n";
const std::string kSection = "TEMPERATURE (-TBR4470- Serial Num: 12345678)\r\r\n";

// Rain pages 1452 and 0 (across the wrap) and temperature pages 2000 and 1453, all new, and the
// lines the file holds for each memory.
struct SmallMemory {
  InstrumentState state;
  std::string rain = Stored("Z0"), temp;

  SmallMemory() {
    PageRing& r = state.memory.rain;
    r.write = r.read = r.hist = 1451;
    for (std::uint32_t i = 0; i < 70; ++i) {
      const std::string record = i == 3 ? "Z1" : HexStamp(0x30000000U + i * 7);
      r.Append(record, "Z0");
      rain += (i == 64 ? Stored("Z0") : "") + Stored(record);
    }
    for (int i = 6; i < 64; ++i) {
      rain += Stored("FFFFFFFF");
    }
    PageRing& t = state.memory.temp;
    t.write = t.read = t.hist = 1999;
    for (std::uint32_t i = 0; i < 66; ++i) {
      const std::string stamp = HexStamp(0x30000000U + i * 900);
      const std::string sample = i == 10 ? " ERR" : " " + std::to_string(i % 20) + ".5";
      t.Append(sample, stamp);
      temp += (i % 64 == 0 ? Stored(stamp) : "") + Stored(sample);
    }
  }
};

TEST(SimExpectedDump, NewDataFileIsLaidOutAsTheDownloadWritesIt) {
  SmallMemory small;
  Instrument instr = MakeInstrument(small.state);
  const std::string all = kHeader + small.rain + kSection + small.temp;
  EXPECT_EQ(instr.ExpectedDump(false), all);
  EXPECT_FALSE(instr.ExpectedDump(true).has_value()) << "with new rain waiting the old data are not offered";

  // Rain released: the new-data download brings the temperature only, without rain header; the old-data
  // download brings everything still held.
  ASSERT_EQ(One(instr, "WN0000"), "OK");
  EXPECT_EQ(instr.ExpectedDump(false), kSection + small.temp);
  EXPECT_EQ(instr.ExpectedDump(true), all);

  // Both released: only the old data can be fetched.
  ASSERT_EQ(One(instr, "WW1453"), "OK");
  EXPECT_FALSE(instr.ExpectedDump(false).has_value());
  EXPECT_EQ(instr.ExpectedDump(true), all);

  // A tip after the release opens page 1; the temperature phase then ends at once.
  instr.MutableState().memory.rain.Append("30001000", "Z0");
  std::string page1 = Stored("Z0") + Stored("30001000");
  for (int i = 1; i < 64; ++i) {
    page1 += Stored("FFFFFFFF");
  }
  EXPECT_EQ(instr.ExpectedDump(false), kHeader + page1 + kSection);

  // Old data without old rain start at the section line.
  instr.MutableState().memory.rain.Erase();
  EXPECT_EQ(instr.ExpectedDump(true), kSection + small.temp);

  ASSERT_EQ(One(instr, "K5"), "OK");
  ASSERT_EQ(One(instr, "K6"), "OK");
  EXPECT_FALSE(instr.ExpectedDump(false).has_value());
  EXPECT_FALSE(instr.ExpectedDump(true).has_value());
}

TEST(SimExpectedDump, HeaderCarriesSerialResolutionAndUnitAsTheProgramReadThem) {
  SmallMemory small;
  small.state.settings.serial = " AB 12 ";
  small.state.settings.unit = 1;
  small.state.settings.tipValue = 0.00787;
  const std::string file = MakeInstrument(small.state).ExpectedDump(false).value_or("");
  EXPECT_EQ(file.substr(0, file.find("Z0")), "********** Nimbrel   -TBR4470-   Serial Num:AB 12 **********\r\r\n\r\r\n"
                                             "mm H2O per tip = 0.19990\r\r\nUnit Meas =1\r\r\n");
  EXPECT_NE(file.find(Stored("TEMPERATURE (-TBR4470- Serial Num: AB 12)")), std::string::npos);
}

// Every page of a generated memory that wrapped, as the instrument sends it: the layout of each
// page, and the file made of them the way the download writes it.
TEST(SimExpectedDump, AgreesWithThePagesTheInstrumentSends) {
  Instrument instr = MakeInstrument(test::Generated(11, 90, 0, 1420, 1990));
  const Memory& m = instr.State().memory;
  ASSERT_LT(m.rain.write, m.rain.read) << "the rain pages to fetch wrap";
  ASSERT_LT(m.temp.write, m.temp.read) << "the temperature pages to fetch wrap";
  std::string file = kHeader;
  std::set<std::string> kinds;
  std::uint32_t lastTip = 0;
  for (int p = m.rain.read; p != m.rain.write;) {
    p = m.rain.Next(p);
    const auto lines = test::Ask(instr, "KR" + std::to_string(p + 10000).substr(1));
    ASSERT_EQ(lines.size(), 65U) << p;
    EXPECT_EQ(lines[0], "Z0");
    for (const auto& l : lines) {
      const bool tip = IsHexStamp(l) && l != "FFFFFFFF";
      EXPECT_TRUE(tip ? ParseHexStamp(l) > std::exchange(lastTip, ParseHexStamp(l))
                      : l == "Z0" || l == "Z1" || (l == "FFFFFFFF" && p == m.rain.write))
          << l; // tips in time order
      kinds.insert(tip ? "tip" : l);
      file += Stored(l);
    }
  }
  file += kSection;
  for (int p = m.temp.read; p != m.temp.write;) {
    p = m.temp.Next(p);
    const auto lines = test::Ask(instr, "KS" + std::to_string(p));
    ASSERT_EQ(lines.at(0).rfind("NUM T MEAS: ", 0), 0U);
    const int n = std::stoi(lines[0].substr(12));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(n) + 2) << p;
    EXPECT_LE(n, 64);
    EXPECT_TRUE(IsHexStamp(lines[1]));
    for (std::size_t i = 2; i < lines.size(); ++i) {
      const auto& l = lines[i];
      EXPECT_TRUE(l[0] == ' ' || l == "Z0" || l == "Z1" || (IsHexStamp(l) && lines[i - 1] == "Z1")) << l;
      kinds.insert(l[0] != ' ' ? "T" + l.substr(0, 2) : l == " ERR" || l == " OFL" || l == " UFL" ? l : "sample");
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
      file += Stored(lines[i]);
    }
  }
  EXPECT_EQ(instr.ExpectedDump(false), file);
  // 90 days of this seed show every kind of record.
  EXPECT_EQ(kinds, (std::set<std::string>{"tip", "Z0", "Z1", "FFFFFFFF", "T30", "T31", "TZ0", "TZ1", "sample", " ERR",
                                          " OFL", " UFL"}));
}

} // namespace
} // namespace sim
