#include "app/licence_text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

// Each piece of at most 127 characters ends in CR LF, however the file ends its lines.
TEST(LicenceText, PiecesOfAtMost127CharactersEachEndingCrLf) {
  const std::string l127(127, 'a');
  const std::string l200(200, 'b');
  const struct {
    const char* what;
    std::string file;
    std::string shown;
  } rows[] = {
      {"LF lines", "MIT\nText\n", "MIT\r\nText\r\n"},
      {"CR LF lines", "MIT\r\nText\r\n", "MIT\r\nText\r\n"},
      {"no final line end", "MIT\nText", "MIT\r\nText\r\n"},
      {"a long line broken", l200 + "\n", std::string(127, 'b') + "\r\n" + std::string(73, 'b') + "\r\n"},
      {"exactly 127: its line end is a piece of its own", l127 + "\n", l127 + "\r\n\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::TempDir dir;
    dir.Write("License.txt", row.file);
    EXPECT_EQ(LicenceText(dir.Path()), row.shown);
  }
  test::TempDir empty;
  EXPECT_EQ(LicenceText(empty.Path()), "");
}

} // namespace
} // namespace nimbrel
