#include "app/nimbrel_ini.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(NimbrelIni, ReadsTheHandbookPageAndTheGraphSize) {
  struct Case {
    std::string file;     // "-": no file
    std::string expected; // page|type|length|width
  };
  const std::string longPage(150, 'p');
  const Case cases[] = {
      {"HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=CUSTOM\r\nLENGHT=3000\r\nWIDTH=2000\r\n",
       "Help_Nimbrel\\HomeNBR.htm|custom|3000|2000"},
      {"HANDBOOK=  Help\\a b.htm  \t\r\n", "Help\\a b.htm|auto|2970|2100"},
      {"PRINT_GRAPH_TYPE=CUSTOM\nHANDBOOK = x.htm\nWIDTH=5\n", "|custom|2970|5"},
      {"HANDBOOK = x.htm\nPRINT_GRAPH_TYPE=CUSTOM\nWIDTH=1500\n", "x.htm|custom|2970|2100"},
      {"PRINT_GRAPH_TYPE=CUSTOM\nLENGHT=  2500mm  \nWIDTH=wide\n", "|custom|2500|0"},
      {"PRINT_GRAPH_TYPE=CUSTOM\nLENGHT=1\nWIDTH=2\nPRINT_GRAPH_TYPE=AUTO\n", "|auto|2970|2100"},
      // A line is read 127 characters at a time.
      {"HANDBOOK = " + longPage + "\n", longPage.substr(0, 116) + "|auto|2970|2100"},
      {"-", "|auto|2970|2100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    test::TempDir dir;
    if (c.file != "-") {
      dir.Write(kNimbrelIni, c.file);
    }
    const Result<std::string> page = ReadHandbookPage(dir.Path());
    const Result<CPrintGraphSettings> size = ReadPrintGraphSettings(dir.Path());
    const CPrintGraphSettings& s = size.value();
    EXPECT_EQ(page.value() + (s.type == CGraphSizeType::Auto ? "|auto|" : "|custom|") + std::to_string(s.length) + "|" +
                  std::to_string(s.width),
              c.expected);
    const std::string message = c.file == "-" ? "Unable to open Nimbrel.ini" : "";
    EXPECT_EQ(page.status().message(), message);
    EXPECT_EQ(size.status().message(), message);
  }
}

TEST(NimbrelIni, GraphSizeDialogWritesTheWholeFile) {
  test::TempDir dir;
  dir.Write(kNimbrelIni, "HANDBOOK = mine.htm\nPRINT_GRAPH_TYPE=CUSTOM\nLENGHT=3000\nWIDTH=2000\nEXTRA\n");
  CPrintGraphSizeModel dialog(ReadPrintGraphSettings(dir.Path()).value());
  const auto boxes = [&dialog] {
    return (dialog.BoxesEnabled() ? "on|" : "off|") + dialog.LengthText() + "|" + dialog.WidthText();
  };
  EXPECT_EQ(boxes(), "on|3000|2000");
  dialog.ChooseAuto();
  EXPECT_EQ(boxes(), "off|2970|2100");
  ASSERT_TRUE(dialog.Save(dir.Path()).ok());
  EXPECT_EQ(dir.Read(kNimbrelIni), "HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=AUTO\r\n");

  dialog.ChooseCustom();
  EXPECT_EQ(boxes(), "on||");
  dialog.SetLengthText("2500 mm");
  dialog.SetWidthText("wide");
  ASSERT_TRUE(dialog.Save(dir.Path()).ok());
  EXPECT_EQ(dir.Read(kNimbrelIni),
            "HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=CUSTOM\r\nLENGHT=2500 mm\r\nWIDTH=wide\r\n");
  const CPrintGraphSettings taken = dialog.Taken();
  EXPECT_EQ(std::to_string(taken.length) + "|" + std::to_string(taken.width), "2500|0");

  // A program directory that is gone, and a Nimbrel.ini that is a folder, which stays as it was.
  std::filesystem::create_directories(dir / "folder" / kNimbrelIni);
  for (const auto& where : {dir / "gone", dir / "folder"}) {
    EXPECT_EQ(dialog.Save(where).message(), "Unable to open Nimbrel.ini") << where;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder" / kNimbrelIni));
}

} // namespace
} // namespace nimbrel
