#pragma once

#include <filesystem>
#include <string>

namespace nimbrel::test {

// A fresh program directory for one test, removed with everything in it afterwards.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  void Write(const std::string& name, const std::string& bytes) const;
  [[nodiscard]] std::string Read(const std::string& name) const;

private:
  std::filesystem::path path_;
};

// The whole content of a file, bytes as they are; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace nimbrel::test
