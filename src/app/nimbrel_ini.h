#pragma once

#include "base/status.h"

#include <filesystem>
#include <string>
#include <utility>

namespace nimbrel {

// Nimbrel.ini in the program directory: the handbook page and the graph size that "Print Graph
// Setting..." keeps.

inline constexpr const char* kNimbrelIni = "Nimbrel.ini";
inline constexpr const char* kUnableToOpenNimbrelIni = "Unable to open Nimbrel.ini";
// The first line the program writes; the handbook page is always this one.
inline constexpr const char* kHandbookLine = "HANDBOOK = Help_Nimbrel\\HomeNBR.htm";

enum class CGraphSizeType { Auto, Custom };

inline constexpr int kAutoLength = 2970;
inline constexpr int kAutoWidth = 2100;

struct CPrintGraphSettings {
  CGraphSizeType type = CGraphSizeType::Auto;
  int length = kAutoLength;
  int width = kAutoWidth;
};

// The handbook page: the first line only (at most 127 characters), when it holds "HANDBOOK", is
// everything after its first "=", trimmed. Empty when the first line has no such key. When the file
// cannot be read the status says "Unable to open Nimbrel.ini" and the page is empty.
Result<std::string> ReadHandbookPage(const std::filesystem::path& programDirectory);

// The graph size, from AUTO 2970 x 2100: "PRINT_GRAPH_TYPE=AUTO" resets to it; "PRINT_GRAPH_TYPE=CUSTOM"
// sets CUSTOM and looks at the next line only for "LENGHT=" and the one after only for "WIDTH=". When
// the file cannot be read the status says "Unable to open Nimbrel.ini" and the values are the defaults.
Result<CPrintGraphSettings> ReadPrintGraphSettings(const std::filesystem::path& programDirectory);

// Rewrites the whole file: the HANDBOOK line, then "PRINT_GRAPH_TYPE=AUTO", or
// "PRINT_GRAPH_TYPE=CUSTOM" with "LENGHT=" and "WIDTH=" followed by the boxes' texts as typed. Lines
// end in CR LF. When it cannot be written the status says "Unable to open Nimbrel.ini" and the old
// file is left as it was.
Status WritePrintGraphSettings(const std::filesystem::path& programDirectory, CGraphSizeType type,
                               const std::string& lengthText, const std::string& widthText);

// The rules of the "Print Graph Setting..." dialog: AUTO shows "2970" and "2100" in disabled boxes,
// CUSTOM enables the boxes (emptied when the user switches to it).
class CPrintGraphSizeModel {
public:
  explicit CPrintGraphSizeModel(const CPrintGraphSettings& stored);

  void ChooseAuto();
  void ChooseCustom();
  void SetLengthText(std::string text) { lengthText_ = std::move(text); }
  void SetWidthText(std::string text) { widthText_ = std::move(text); }

  [[nodiscard]] CGraphSizeType Type() const { return type_; }
  [[nodiscard]] bool BoxesEnabled() const { return type_ == CGraphSizeType::Custom; }
  [[nodiscard]] const std::string& LengthText() const { return lengthText_; }
  [[nodiscard]] const std::string& WidthText() const { return widthText_; }

  // "OK": the choice with the boxes' texts read as whole numbers; the running program takes these
  // values whether or not the file could be written.
  [[nodiscard]] CPrintGraphSettings Taken() const;
  // "OK" on disk: rewrites Nimbrel.ini.
  [[nodiscard]] Status Save(const std::filesystem::path& programDirectory) const;

private:
  CGraphSizeType type_;
  std::string lengthText_;
  std::string widthText_;
};

} // namespace nimbrel
