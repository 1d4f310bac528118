#include "link/port_settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>

namespace nimbrel {
namespace {

using test::TempDir;

// What the program held before reading: values a file leaves alone stay visible.
CPortConfig Prior(std::int32_t autoDetect = 0) {
  return CPortConfig{{3, 1200, 5, 1, 1, "N"}, autoDetect};
}

TEST(PortSettings, FilesTheProgramWritesReadBackByTheReaderRules) {
  struct Case {
    const char* what;
    CPortConfig written;
    CPortConfig read;
  };
  const std::vector<Case> cases{
      {"defaults; flow becomes S from BITSTOP", {{2, 9600, 8, 0, 0, "H"}, 1}, {{2, 9600, 8, 0, 0, "S"}, 1}},
      {"COM10 reads as COM1; 19200 is not 1200", {{10, 19200, 7, 2, 2, "N"}, 0}, {{1, 19200, 5, 0, 0, "S"}, 0}},
      {"port 7 is not recognised", {{7, 600, 8, 1, 1, "S"}, 0}, {{3, 600, 8, 0, 0, "S"}, 0}},
      {"port 0 from a dialog without a port", {{0, 115200, 8, 2, 0, "H"}, 1}, {{3, 115200, 8, 0, 0, "S"}, 1}},
      {"the 8 of 4800 sets the data bits", {{4, 4800, 7, 2, 2, "N"}, 0}, {{4, 4800, 8, 1, 0, "S"}, 0}},
      {"9600 is not 600", {{1, 9600, 8, 0, 0, "S"}, 0}, {{1, 9600, 8, 0, 0, "S"}, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ASSERT_TRUE(WritePortSettings(dir / kPortIniName, c.written).ok());
    CPortConfig config = Prior();
    EXPECT_TRUE(ReadPortSettings(dir / kPortIniName, config).ok());
    EXPECT_EQ(config, c.read);
  }
}

TEST(PortSettings, WritesSevenCrLfLinesOrLeavesTheFileAsItWas) {
  TempDir dir;
  const CPortConfig config{{10, 19200, 7, 1, 1, "H"}, 0};
  ASSERT_TRUE(WritePortSettings(dir / kPortIniName, config).ok());
  EXPECT_EQ(test::ReadFileBytes(dir / kPortIniName),
            "AUTODETECT=0\r\nCOM= COM10\r\nBAUDRATE= 19200\r\nPARITY= O\r\nNUMBIT= 7\r\nBITSTOP= 1,5\r\n"
            "FLOW_CTRL= H\r\n");
  EXPECT_EQ(FormatPortSettings({{2, 9600, 8, 2, 2, "N"}, 0}),
            "AUTODETECT=0\r\nCOM= COM2\r\nBAUDRATE= 9600\r\nPARITY= E\r\nNUMBIT= 8\r\nBITSTOP= 2\r\nFLOW_CTRL= N\r\n");

  std::filesystem::create_directory(dir / "blocked");
  dir.Write("blocked/kept", "x");
  const Status failed = WritePortSettings(dir / "blocked", config);
  EXPECT_EQ(failed.message(), "Error : fail saving port configuration.");
  EXPECT_EQ(dir.Read("blocked/kept"), "x");
}

TEST(PortSettings, FilesFromElsewhereReadByTheSameRulesOrWarnAndLoadTheDefaults) {
  std::string garbage(1 << 16, '\0');
  std::mt19937 random(4470);
  for (char& c : garbage) {
    c = static_cast<char>(random() & 0xFF);
  }
  struct Case {
    const char* what;
    std::optional<std::string> content; // none: no file at all
    std::optional<CPortSettings> read;  // none: the warning and the defaults
    std::int32_t autoDetect = 1;        // before: 1
  };
  const std::vector<Case> cases{
      {"no file", std::nullopt, std::nullopt},
      {"empty file", "", std::nullopt},
      {"only the flag", "AUTODETECT=0\r\n", std::nullopt, 0},
      {"baud rate before port", "AUTODETECT=1\r\nBAUDRATE= 4800\r\nCOM= COM3\r\n", std::nullopt},
      {"no baud rate", "COM= COM3\r\n", std::nullopt},
      {"key cut by the 78-character read", "COM= COM3\r\n" + std::string(70, 'x') + "BAUDRATE= 4800\r\n", std::nullopt},
      {"key behind a NUL byte", std::string("COM= COM3\r\n\0BAUDRATE= 4800\r\n", 28), std::nullopt},
      {"binary garbage", garbage, std::nullopt},
      {"a megabyte line before the keys", std::string(1 << 20, 'x') + "\r\nCOM= COM4\r\nBAUDRATE= 2400\r\n",
       CPortSettings{4, 2400, 5, 1, 1, "N"}},
      {"a key ending exactly at the 78th character, its number in the next piece",
       "COM= COM2\n" + std::string(69, 'x') + "BAUDRATE= 4800\n", CPortSettings{2, 1200, 8, 1, 1, "N"}},
      {"no final line end, LF only", "COM= COM2\nBAUDRATE= 38400", CPortSettings{2, 38400, 8, 1, 1, "N"}},
      {"the last baud-rate line wins", "BAUDRATE= 9600\nCOM= COM1\nBAUDRATE= 300\n",
       CPortSettings{1, 300, 5, 0, 1, "N"}},
      {"lower case keys are not keys", "com= com2\nCOM= COM2\nBAUDRATE= 1200\nbaudrate= 300\n",
       CPortSettings{2, 1200, 5, 0, 1, "N"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.content) {
      dir.Write(kPortIniName, *c.content);
    }
    CPortConfig config = Prior(1);
    const Status read = ReadPortSettings(dir / kPortIniName, config);
    EXPECT_EQ(config, (CPortConfig{c.read.value_or(DefaultPortSettings()), c.autoDetect}));
    EXPECT_EQ(read.message(),
              c.read ? "" : "Error : port setup file not found.\nLoad default configuration (9600,N,8,1)");
  }
}

TEST(PortSetupDialog, OkTakesNumbersFromTheTextsAndCodesFromKnownChoices) {
  struct Case {
    PortSetupTexts texts;
    CPortConfig result;
  };
  const CPortConfig current = Prior();
  const std::vector<Case> cases{
      {{"COM3", "9600", "8", "1", "None", "Hardware", true}, {{3, 9600, 8, 0, 0, "H"}, 1}},
      {{"", "9600", "8", "2", "Even", "Software(Xon/Xoff)", false}, {{0, 9600, 8, 2, 2, "S"}, 0}},
      {{"COM10", "19200", "7", "1,5", "Odd", "None", false}, {{10, 19200, 7, 1, 1, "N"}, 0}},
      {{"COMX", " 4800 baud", "8", "1", "None", "Hardware", false}, {{0, 4800, 8, 0, 0, "H"}, 0}},
      {{"COM2", "fast", "", "1.5", "Mark", "hardware", false}, {{2, 0, 0, 1, 1, "N"}, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texts.Port);
    EXPECT_EQ(ApplyPortSetup(c.texts, current), c.result);
  }
}

} // namespace
} // namespace nimbrel
