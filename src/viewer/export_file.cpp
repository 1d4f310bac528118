#include "viewer/export_file.h"

#include <QFile>

#include <system_error>

namespace nimbrel {

namespace fs = std::filesystem;

fs::path ExportFolder(const fs::path& documents) {
  return documents / kExportFolderName;
}

std::string ExportBaseName(const fs::path& dataFile, int chunk, bool zoomed) {
  std::string base = dataFile.stem().string();
  if (base.empty()) {
    base = "Nimbrel";
  }
  if (zoomed) {
    base += " - Zoomed";
  }
  if (chunk > 0) {
    base += " - Interval " + std::to_string(chunk);
  }
  return base;
}

Result<fs::path> ReserveExportFile(const fs::path& folder, const std::string& base, std::string_view extension) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    return Status(StatusCode::Io, "cannot create the folder " + folder.string() +
                                      (ec ? ": " + ec.message() : std::string(": a file of that name is in the way")) +
                                      ". Make room for it or free the disk, then export again.");
  }
  constexpr int kMostCopies = 9999;
  for (int copy = 1; copy <= kMostCopies; ++copy) {
    const std::string name = copy == 1 ? base : base + " (" + std::to_string(copy) + ")";
    fs::path candidate = folder / (name + std::string(extension));
    if (fs::exists(fs::symlink_status(candidate, ec))) {
      continue;
    }
    QFile file(candidate);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      return candidate;
    }
    if (fs::exists(fs::symlink_status(candidate, ec))) {
      continue; // made by someone else in the meantime
    }
    return Status(StatusCode::Io, "cannot create " + candidate.string() + ": " + file.errorString().toStdString() +
                                      ". Check that the folder may be written to, then export again.");
  }
  return Status(StatusCode::Io, "cannot create a new file in " + folder.string() + ": every name from " + base +
                                    std::string(extension) + " to " + base + " (" + std::to_string(kMostCopies) + ")" +
                                    std::string(extension) + " is taken. Move old exports away, then export again.");
}

} // namespace nimbrel
