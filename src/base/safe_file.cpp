#include "base/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {

namespace fs = std::filesystem;

Status CheckTarget(const fs::path& target, const fs::path* source) {
  std::error_code ec;
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (!fs::is_directory(folder, ec)) {
    return {StatusCode::NotFound,
            "cannot write " + target.string() + ": the folder " + folder.string() + " does not exist"};
  }
  const auto status = fs::symlink_status(target, ec);
  if (ec || !fs::exists(status)) {
    return Status::Ok();
  }
  const auto followed = fs::status(target, ec);
  if (fs::is_directory(followed)) {
    return {StatusCode::InvalidArgument, "cannot write " + target.string() + ": it is a folder"};
  }
  if (!fs::is_regular_file(followed)) {
    return {StatusCode::InvalidArgument, "cannot write " + target.string() + ": it is not a regular file"};
  }
  if (source != nullptr && fs::equivalent(*source, target, ec)) {
    return {StatusCode::InvalidArgument, "cannot write " + target.string() + ": it is the file being read"};
  }
  return Status::Ok();
}

Status ReadWholeFile(const fs::path& path, std::string& bytes, std::uintmax_t limit, const std::string& kind) {
  bytes.clear();
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    return {StatusCode::NotFound, "cannot open " + path.string() + ": no such file"};
  }
  if (fs::is_directory(status)) {
    return {StatusCode::InvalidArgument, "cannot open " + path.string() + ": it is a folder"};
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    return Status::FromErrno(errno, "cannot open " + path.string());
  }
  if (const auto size = fs::file_size(path, ec); !ec && size <= limit) {
    bytes.reserve(static_cast<std::size_t>(size));
  }
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    if (bytes.size() + got > limit) {
      bytes.clear();
      return {StatusCode::TooLarge,
              "cannot read " + path.string() + ": larger than " + std::to_string(limit >> 20U) + " MB, not " + kind};
    }
    bytes.append(chunk, got);
  }
  if (std::ferror(file.get()) != 0) {
    bytes.clear();
    return {StatusCode::Io, "cannot read " + path.string() + ": read error"};
  }
  return Status::Ok();
}

Status WriteFileAtomically(const fs::path& target, const std::function<Status(const fs::path& temporary)>& write) {
  // A link is replaced where it points, so the user's own link stays in place.
  std::error_code ec;
  fs::path final = fs::is_symlink(target, ec) ? fs::canonical(target, ec) : target;
  if (ec) {
    final = target;
  }
  const fs::path folder = final.parent_path().empty() ? fs::path(".") : final.parent_path();
  std::string pattern = (folder / ("." + final.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    return Status::FromErrno(errno, "cannot write " + target.string());
  }
  ::close(fd);
  const fs::path temporary = pattern;
  Status written = write(temporary);
  if (written.ok()) {
    // The new file gets the permissions an ordinary new file would get, not mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old {};
    const mode_t mode = ::stat(final.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
    ::chmod(temporary.c_str(), mode);
    if (std::rename(temporary.c_str(), final.c_str()) != 0) {
      written = Status::FromErrno(errno, "cannot write " + target.string());
    }
  }
  if (!written.ok()) {
    fs::remove(temporary, ec);
  }
  return written;
}

Status CopyFileAtomically(const fs::path& source, const fs::path& target) {
  if (Status s = CheckTarget(target, &source); !s.ok()) {
    return s;
  }
  return WriteFileAtomically(target, [&source, &target](const fs::path& temporary) {
    std::error_code ec;
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      return Status::FromErrno(ec.value(), "cannot copy " + source.string() + " to " + target.string());
    }
    return Status::Ok();
  });
}

} // namespace nimbrel
