#include "app/nimbrel_ini.h"

#include "base/numbers.h"
#include "base/safe_file.h"
#include "base/text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <unistd.h>
#include <vector>

namespace nimbrel {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxRead = 127;

Status UnableToOpen(StatusCode code) {
  return {code, kUnableToOpenNimbrelIni};
}

bool Contains(const std::string& line, const char* key) {
  return line.find(key) != std::string::npos;
}

// Far beyond anything the program writes: a settings file this large is not one.
constexpr std::uintmax_t kMaxIniBytes = std::uintmax_t{1} << 20U;

// The file as successive reads of at most 127 characters, each ending at a line feed or at the
// limit; CR LF reads as LF, as a file written in text mode reads back.
std::optional<std::vector<std::string>> ReadPieces(const fs::path& directory) {
  const fs::path file = directory / kNimbrelIni;
  std::error_code ec;
  if (fs::is_directory(file, ec)) {
    return std::nullopt;
  }
  std::string bytes;
  if (!ReadWholeFile(file, bytes, kMaxIniBytes, "a settings file").ok()) {
    return std::nullopt;
  }
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' || i + 1 >= bytes.size() || bytes[i + 1] != '\n') {
      text.push_back(bytes[i]);
    }
  }
  std::vector<std::string> pieces;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = std::min(pos + kMaxRead, text.size());
    const std::size_t lf = text.find('\n', pos);
    if (lf != std::string::npos && lf < end) {
      end = lf + 1;
    }
    pieces.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return pieces;
}

std::string TextFrom(const std::string& line, std::size_t skip) {
  return TrimmedRight(line.size() > skip ? line.substr(skip) : std::string());
}

} // namespace

Result<std::string> ReadHandbookPage(const fs::path& programDirectory) {
  const auto pieces = ReadPieces(programDirectory);
  if (!pieces) {
    return UnableToOpen(StatusCode::NotFound);
  }
  if (pieces->empty() || !Contains(pieces->front(), "HANDBOOK")) {
    return std::string();
  }
  const std::string& line = pieces->front();
  const std::size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : Trimmed(line.substr(equals + 1));
}

Result<CPrintGraphSettings> ReadPrintGraphSettings(const fs::path& programDirectory) {
  const auto pieces = ReadPieces(programDirectory);
  if (!pieces) {
    return UnableToOpen(StatusCode::NotFound);
  }
  CPrintGraphSettings settings;
  std::string length = std::to_string(kAutoLength);
  std::string width = std::to_string(kAutoWidth);
  const std::vector<std::string>& lines = *pieces;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (Contains(lines[i], "PRINT_GRAPH_TYPE=AUTO")) {
      settings.type = CGraphSizeType::Auto;
      length = std::to_string(kAutoLength);
      width = std::to_string(kAutoWidth);
    } else if (Contains(lines[i], "PRINT_GRAPH_TYPE=CUSTOM")) {
      settings.type = CGraphSizeType::Custom;
      // The two lines after it are taken as they come, each looked at for its one key only.
      if (++i < lines.size() && Contains(lines[i], "LENGHT=")) {
        length = TextFrom(lines[i], 7);
      }
      if (++i < lines.size() && Contains(lines[i], "WIDTH=")) {
        width = TextFrom(lines[i], 6);
      }
    }
  }
  settings.length = LeadingInt(length);
  settings.width = LeadingInt(width);
  return settings;
}

Status WritePrintGraphSettings(const fs::path& programDirectory, CGraphSizeType type, const std::string& lengthText,
                               const std::string& widthText) {
  const fs::path target = programDirectory / kNimbrelIni;
  if (Status s = CheckTarget(target); !s.ok()) {
    return UnableToOpen(s.code());
  }
  std::error_code ec;
  if (fs::exists(target, ec) && ::access(target.c_str(), W_OK) != 0) {
    return UnableToOpen(StatusCode::PermissionDenied);
  }
  std::string text = std::string(kHandbookLine) + "\n";
  if (type == CGraphSizeType::Auto) {
    text += "PRINT_GRAPH_TYPE=AUTO\n";
  } else {
    text += "PRINT_GRAPH_TYPE=CUSTOM\nLENGHT=" + lengthText + "\nWIDTH=" + widthText + "\n";
  }
  const Status written =
      WriteFileAtomically(target, [&text](const fs::path& temporary) { return WriteTextMode(temporary, text, true); });
  return written.ok() ? written : UnableToOpen(written.code());
}

CPrintGraphSizeModel::CPrintGraphSizeModel(const CPrintGraphSettings& stored) : type_(stored.type) {
  if (type_ == CGraphSizeType::Auto) {
    ChooseAuto();
  } else {
    lengthText_ = std::to_string(stored.length);
    widthText_ = std::to_string(stored.width);
  }
}

void CPrintGraphSizeModel::ChooseAuto() {
  type_ = CGraphSizeType::Auto;
  lengthText_ = std::to_string(kAutoLength);
  widthText_ = std::to_string(kAutoWidth);
}

void CPrintGraphSizeModel::ChooseCustom() {
  type_ = CGraphSizeType::Custom;
  lengthText_.clear();
  widthText_.clear();
}

CPrintGraphSettings CPrintGraphSizeModel::Taken() const {
  return {type_, LeadingInt(lengthText_), LeadingInt(widthText_)};
}

Status CPrintGraphSizeModel::Save(const fs::path& programDirectory) const {
  return WritePrintGraphSettings(programDirectory, type_, lengthText_, widthText_);
}

} // namespace nimbrel
