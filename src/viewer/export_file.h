#pragma once

#include "base/status.h"
#include "viewer/sheet.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace nimbrel {

// Where the spreadsheet export puts its workbooks, so a user finds them again after the spreadsheet
// application was closed: a folder of their own in the user's documents, one file per export, named
// after the data file and never replacing an earlier export.

inline constexpr const char* kExportFolderName = "Nimbrel exports";
inline constexpr const char* kSpreadsheetMissing = "ERROR: Excel application not installed.";

// The chunk chooser is asked when the table is longer than one chunk, or when the chart's zoomed
// range is on offer besides the whole table.
inline bool ExportNeedsChooser(std::size_t lineCount, bool zoomedRangeOffered) {
  return lineCount > kSheetChunkLines || zoomedRangeOffered;
}

// "<documents>/Nimbrel exports".
std::filesystem::path ExportFolder(const std::filesystem::path& documents);

// The name of an export without its extension: the data file's name without its extension,
// followed by " - Zoomed" for the chart's zoomed range and " - Interval K" for chunk K (from 1) of
// a table exported in chunks; `chunk` 0 is a table exported whole.
// "DumpFile", "DumpFile - Interval 2", "DumpFile - Zoomed - Interval 1".
std::string ExportBaseName(const std::filesystem::path& dataFile, int chunk, bool zoomed);

// Makes `folder` (and its parents) when missing and creates in it a new, empty file named
// `base` + `extension`, or `base` + " (2)" + `extension`, " (3)"... when that name is taken; the
// file is created exclusively, so no existing file is ever replaced. The export then writes over this
// file of its own. The status names the folder or the file when it cannot be made.
Result<std::filesystem::path> ReserveExportFile(const std::filesystem::path& folder, const std::string& base,
                                                std::string_view extension);

} // namespace nimbrel
