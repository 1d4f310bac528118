#include "base/text.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace nimbrel {

std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (size > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    out.assign(buffer.data(), static_cast<std::size_t>(size));
  }
  va_end(again);
  return out;
}

namespace {
bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
} // namespace

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsSpace(text[begin])) {
    ++begin;
  }
  return TrimmedRight(text.substr(begin));
}

std::string TrimmedRight(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && IsSpace(text[end - 1])) {
    --end;
  }
  return text.substr(0, end);
}

Status WriteTextMode(const std::filesystem::path& path, const std::string& text, bool truncate) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | (truncate ? std::ios::trunc : std::ios::app));
  if (!out) {
    return Status::FromErrno(errno != 0 ? errno : EIO, "cannot open " + path.string());
  }
  std::string bytes;
  bytes.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') {
      bytes.push_back('\r');
    }
    bytes.push_back(c);
  }
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out.fail()) {
    return Status::FromErrno(errno != 0 ? errno : EIO, "cannot write " + path.string());
  }
  return Status::Ok();
}

} // namespace nimbrel
