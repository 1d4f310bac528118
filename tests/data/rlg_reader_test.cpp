#include "base/numbers.h"
#include "data/instr_time.h"
#include "data/rlg_reader.h"
#include "support/temp_dir.h"
#include "viewer/table_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace nimbrel {
namespace {

const std::string kData = NIMBREL_TEST_DATA_DIR;

// Every reference table was worked out by hand from its input (see README.md in this folder).
TEST(RlgReader, TablesOfReferenceFilesMatchByteForByte) {
  // Input, interval, then the caption, resolution, unit and whether the resolution was defaulted (a message).
  const std::tuple<const char*, int, const char*, float, int, bool> cases[] = {
      {"basic", 900, " ( TBR4470 - Ser. Num. : 12345678 )", 0.2F, 0, false},
      {"basic", 3600, " ( TBR4470 - Ser. Num. : 12345678 )", 0.2F, 0, false},
      {"inch_no_temperature", 60, " ( TBR4470 - Ser. Num. : ABCDEFGH )", 0.254F, 1, false},
      {"temperature_only", 900, " ( TBR4470 - Ser. Num. :  9876543 )", 0.25F, 0, false},
      {"zero_resolution", 60, " ( TBR4470 - Ser. Num. : 00000042 )", 1.0F, 0, true},
      {"long_lines", 900, " ( TBR4470 - Ser. Num. : 00000001 )", 0.5F, 0, false},
  };
  for (const auto& [input, interval, caption, resolution, unit, message] : cases) {
    SCOPED_TRACE(std::string(input) + " at " + std::to_string(interval));
    CDataSeries series;
    const Status read = ReadRlgFile(kData + "/" + input + ".rlg", interval, series);
    ASSERT_TRUE(read.ok()) << read.message();
    const std::string expected = test::ReadFileBytes(kData + "/" + input + "_" + std::to_string(interval) + ".txt");
    EXPECT_EQ(TableText(series), expected);
    EXPECT_EQ(std::tuple(series.caption, series.resolution, series.unit, series.resolutionDefaulted),
              std::tuple(std::string(caption), resolution, unit, message));
  }
}

// LF, CR LF and CR CR LF end a line alike (the reference files have one kind each).
TEST(LineCursor, LongLinesAreReadAsPiecesOf255WhateverTheLineEnd) {
  // A line's length and the pieces read; each line is followed by "next" (4).
  const std::pair<std::size_t, std::vector<std::size_t>> cases[] = {
      {0, {0, 4}}, {255, {255, 4}}, {256, {255, 1, 4}}, {511, {255, 255, 1, 4}}};
  for (const auto& [length, pieces] : cases) {
    for (const char* end : {"\n", "\r\n", "\r\r\n"}) {
      const std::string bytes = std::string(length, 'x') + end + "next"; // the last line without its end
      CLineCursor cursor(bytes);
      std::string_view line;
      std::vector<std::size_t> got;
      while (cursor.Next(line)) {
        got.push_back(line.size());
      }
      EXPECT_EQ(got, pieces) << length;
    }
  }
}

TEST(LeadingNumber, ReadsWhatAtofReads) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> cases[] = {
      {"\t 7 C", 7.0},  {"1e3", 1000.0}, {"+5", 5.0}, {"+-5", 0.0}, {"abc", 0.0},  {"", 0.0},       {"1e999", kInf},
      {"12.5.3", 12.5}, {".5", 0.5},     {"5.", 5.0}, {"-", 0.0},   {" OFL", 0.0}, {"1e-999", 0.0}, {"-1e999", -kInf},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(LeadingNumber(text), value) << text; // exactly
  }
  EXPECT_EQ(LeadingNumber("123456789012345678"), 123456789012345678.0);
  // Plain decimals are read exactly as the C library reads them, to the last bit.
  std::mt19937 random(900);
  for (int i = 0; i < 20000; ++i) {
    char text[40];
    const int decimals = static_cast<int>(random() % 8);
    std::snprintf(text, sizeof text, "%s%u.%0*u", (random() & 1U) != 0 ? "-" : " ",
                  static_cast<unsigned>(random() % 100000), decimals, static_cast<unsigned>(random() % 10000000));
    EXPECT_EQ(LeadingNumber(text), std::strtod(text, nullptr)) << text;
  }
}

TEST(HexTime, ConvertsWithTheInstrumentsArithmetic) {
  // A character counts as the low nibble of its code minus 55: lower case 'b' (43) and 'a' (42) keep theirs by
  // luck, 'g' gives 0 instead of an error, and a short line's missing characters (NUL, -55) give 9.
  const std::pair<const char*, std::uint32_t> stamps[] = {
      {"0B5C2E41", 190590529U}, {"FFFFFFFF", 4294967295U}, {"0B5C2E41 and more", 190590529U},
      {"0b5c2e41", 190590529U}, {"0000000g", 0U},          {"", 0x99999999U},
      {"0000", 0x00009999U},
  };
  for (const auto& [text, seconds] : stamps) {
    EXPECT_EQ(HexTime(text), seconds) << text;
  }
}

// A rain header, 0.2 mm per tip, up to its first page line.
const std::string kHeader =
    "********** Nimbrel   -TBR4470-   Serial Num:1 **********\n\nmm H2O per tip = 0.20000\nUnit Meas =0\nFFFFFFFF\n";

// A temperature record from 2005/03/01 10:07:23 with the given sample lines.
std::string Record(const std::vector<std::string>& samples, const std::string& rain = "") {
  std::string text = kHeader + rain + "TEMPERATURE (-TBR4470- Serial Num: 1)\n09B6FB5B\n";
  for (const auto& s : samples) {
    text += s + "\n";
  }
  return text;
}

// The rows as "seconds after 10:07:23: rain temperature", one line each.
std::string Rows(const CDataSeries& series) {
  std::ostringstream out;
  for (const CDataItem& row : series.rows) {
    out << static_cast<std::int64_t>(row.time) - 162986843 << ": " << row.rain << " " << row.temperature << "\n";
  }
  return out.str();
}

TEST(RlgReader, ShortIntervalsRepeatEachSampleAndLongOnesAverageFromTheFirstPartialGroup) {
  std::vector<std::string> day(55, " 10.5");
  day.insert(day.end(), {" 1", " 2", " 3", " 4", " 5"});
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{" 1.00", " 2.00"}, 300, "0: 0 1\n300: 0 1\n600: 0 1\n900: 0 2\n1200: 0 2\n1500: 0 2\n"},
      // 10:07:23, 10:22:23, 10:37:23 before 10:45:00 make the first hour (ending 10:52:23, shown as 11:00);
      // then groups of four; the end of the file ends the last group.
      {{" 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9"}, 3600, "2700: 0 2\n6300: 0 5.5\n9900: 0 8.5\n"},
      // OFL samples are left out of the average; a group with no further usable sample is "ofl".
      {{" 1", " OFL", " 3", " 5", " 7 OFL", " OFL", " OFL", " 4", " 6"}, 3600, "2700: 0 2\n6300: 0 -997\n9900: 0 5\n"},
      // One day: the first group takes the 55 samples from 10:07:23 up to 23:45:00 and is labelled
      // midnight; the other 5 make the next day.
      {day, 86400, "49500: 0 10.5\n135900: 0 3\n"},
  };
  for (const auto& [samples, interval, rows] : cases) {
    SCOPED_TRACE(interval);
    CDataSeries series;
    ASSERT_TRUE(ReadRlgBuffer(Record(samples), interval, series).ok());
    EXPECT_EQ(Rows(series), rows);
    EXPECT_TRUE(series.startValid);
    EXPECT_EQ(series.startTime, 162986843U + static_cast<unsigned>(interval));
  }
}

// Where a tip goes before, between and after the rows the reference tables show; here the rest.
TEST(RlgReader, ABackwardTipStaysInItsRowAndAMarkedSectionLineStillEndsTheRain) {
  // Rows at 10:07:23, 10:22:23 and 10:37:23; 10:30:00 is in the second, and 10:07:30 after it stays there.
  CDataSeries series;
  ASSERT_TRUE(ReadRlgBuffer(Record({" 1", " 2", " 3"}, "09B700A8\n09B6FB62\n"), 900, series).ok());
  EXPECT_EQ(Rows(series), "0: 0 1\n900: 0.4 2\n1800: 0 3\n");
  std::string marked = Record({" 1"}, "09B6EB90\n");
  marked.replace(marked.find("Serial Num: 1)"), 14, "Serial Num: Z1)");
  ASSERT_TRUE(ReadRlgBuffer(marked, 900, series).ok());
  EXPECT_EQ(std::pair(Rows(series), series.total), std::pair(std::string("0: 0.2 1\n"), 0.2F));
}

// Sixty thousand tips of 0.2 mm, 23 s apart (up to 40 to a row): the total is exactly the tips times
// the resolution at every interval, where adding tip after tip or row after row in single precision
// drifts.
TEST(RlgReader, TheTotalOfALongRecordIsTipsTimesResolution) {
  constexpr int kTips = 60000;
  std::string rain;
  for (int i = 0; i < kTips; ++i) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%08X\n", 162986843U + static_cast<unsigned>(i) * 23U);
    rain += stamp;
  }
  const std::string bytes = Record(std::vector<std::string>(kTips * 23 / 900 + 2, " 7.5"), rain);
  for (const int interval : {60, 900}) {
    SCOPED_TRACE(interval);
    CDataSeries series;
    ASSERT_TRUE(ReadRlgBuffer(bytes, interval, series).ok());
    EXPECT_EQ(series.total, static_cast<float>(kTips * static_cast<double>(0.2F)))
        << std::setprecision(12) << series.total;
  }
}

// Inputs a random fuzzer finds late: a clear result and no undefined behaviour.
TEST(RlgReader, OddInputGivesAClearResultWithoutCrashing) {
  const std::string inputs[] = {
      "",
      std::string(1 << 20, 'A'), // a megabyte line
      kHeader + std::string(1 << 20, ' ') + "\nTEMPERATURE\n" + std::string(1 << 20, ' '),
      std::string("TEMPERATURE\0\n0000003C\n\0 12\n 1\0\n", 28), // NUL bytes
      kHeader + "TEMPERATURE\nZ1\n",                             // a gap mark at the end
      "TEMPERATURE\n 1e999\n -1e999\n nan\n 0x10\n+-3\n",        // odd numbers
      "mm H2O per tip = nan\n\n\nUnit Meas =1e300\n",
  };
  for (const std::string& bytes : inputs) {
    for (int interval : {1, 900, 31104000}) {
      CDataSeries series;
      CReadOptions options;
      options.maxRows = 1'000'000;
      const Status s = ReadRlgBuffer(bytes, interval, series, options);
      EXPECT_TRUE(s.ok() || s.code() == StatusCode::TooLarge) << s.message();
      EXPECT_LE(series.RowCount(), options.maxRows);
      EXPECT_EQ(TableText(series).substr(0, 9), "Date-Time");
    }
  }
}

TEST(RlgReader, GapsAndClockJumpsAreBoundedByTheRowLimit) {
  // A gap stamp far in the future at 1 s, and a year of samples at 1 s.
  const std::string farGap = Record({" 1", "Z1", "FFFFFF00", " 2"});
  const std::string year = Record(std::vector<std::string>(std::size_t{360} * 96, " 12.5"));
  for (const std::string* bytes : std::vector<const std::string*>{&farGap, &year}) {
    CDataSeries series;
    CReadOptions options;
    options.maxRows = 2'000'000;
    EXPECT_EQ(ReadRlgBuffer(*bytes, 1, series, options).code(), StatusCode::TooLarge);
    EXPECT_EQ(series.RowCount(), 0U);
    EXPECT_TRUE(series.caption.empty());
    EXPECT_TRUE(ReadRlgBuffer(*bytes, 86400, series, options).ok());
    EXPECT_GT(series.RowCount(), 0U);
  }
  // A stamp that goes backwards after a gap mark adds no rows.
  CDataSeries series;
  ASSERT_TRUE(ReadRlgBuffer(Record({" 1", "Z1", "00000010", " 2"}), 900, series).ok());
  EXPECT_EQ(series.RowCount(), 2U);
}

TEST(RlgReader, FilesThatCannotBeReadAreReportedAndGiveNoRows) {
  test::TempDir dir;
  dir.Write("plain", "x");
  std::vector<std::filesystem::path> paths = {dir / "missing.rlg", dir.Path(), dir / "plain" / "child.rlg"};
  if (geteuid() != 0) { // root reads any file: the parent-is-a-file case stands in for it there
    dir.Write("locked.rlg", "TEMPERATURE\n");
    std::filesystem::permissions(dir / "locked.rlg", std::filesystem::perms::none);
    paths.push_back(dir / "locked.rlg");
  }
  for (const auto& path : paths) {
    CDataSeries series;
    series.caption = "old";
    series.rows.resize(3);
    const Status s = ReadRlgFile(path, 60, series);
    EXPECT_FALSE(s.ok()) << path;
    EXPECT_NE(s.message().find(path.string()), std::string::npos) << s.message();
    EXPECT_EQ(series.RowCount(), 0U);
    EXPECT_TRUE(series.caption.empty());
    EXPECT_EQ(TableText(series), "Date-Time\t\tRain [mm H2O]\tTemp [C]\r\nTOTAL RAIN\t\t0.000\t\t\r\n");
  }
}

TEST(RlgReader, CancelStopsAtTheNextPoll) {
  const std::string bytes = Record(std::vector<std::string>(5000, " 1"));
  std::atomic<bool> cancel{false};
  int polls = 0;
  CReadOptions options;
  options.cancel = &cancel;
  options.pollEvery = 100;
  options.poll = [&] { cancel = ++polls >= 3; };
  CDataSeries series;
  EXPECT_EQ(ReadRlgBuffer(bytes, 900, series, options).code(), StatusCode::Cancelled);
  EXPECT_EQ(polls, 3); // an unfinished reading leaves no rows, as the row-limit test shows
}

// Keys found anywhere in their lines; the rest of the header rules are in the reference files.
TEST(RlgReader, HeaderKeysAndDefaults) {
  const std::tuple<const char*, const char*, float, int, bool> cases[] = {
      {"no key", "no key", 0.25F, 0, false},
      {"mm H2O per tip = abc", "Unit Meas =2.9", 1.0F, 2, true},
      {"xx mm H2O per tip =    1.5e-1", "  Unit Meas = 1", 0.15F, 1, false},
  };
  for (const auto& [resolutionLine, unitLine, resolution, unit, message] : cases) {
    SCOPED_TRACE(resolutionLine);
    CDataSeries series;
    const std::string bytes = std::string("********** Nimbrel   -TBR4470-   Serial Num:123 **********\n\n") +
                              resolutionLine + "\n" + unitLine + "\n0000003C\n00000E10\n";
    ASSERT_TRUE(ReadRlgBuffer(bytes, 60, series).ok());
    EXPECT_EQ(std::tuple(series.resolution, series.unit, series.resolutionDefaulted),
              std::tuple(resolution, unit, message));
    // The first page line never counts: only the one tip after it.
    ASSERT_EQ(series.RowCount(), 1U);
    EXPECT_EQ(std::pair(series.rows[0].time, series.rows[0].rain), std::pair(0xE10U, resolution));
    EXPECT_EQ(series.caption, " ( TBR4470 - Ser. Num. : 123 **** )");
  }
}

} // namespace
} // namespace nimbrel
