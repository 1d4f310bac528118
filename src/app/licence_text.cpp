#include "app/licence_text.h"

#include "base/safe_file.h"

namespace nimbrel {

namespace {
constexpr std::size_t kPiece = 127;
// A licence is a page or two; anything much larger is not one.
constexpr std::uintmax_t kMaxLicenceBytes = 1U << 20U;
} // namespace

std::string LicenceText(const std::filesystem::path& programDirectory) {
  std::string bytes;
  if (!ReadWholeFile(programDirectory / kLicenceFileName, bytes, kMaxLicenceBytes, "a licence").ok()) {
    return {};
  }
  std::string text;
  std::size_t inPiece = 0; // characters of the current piece, counted as a text-mode read counts them
  bool open = false;       // a piece has begun and not yet been closed
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const bool crlf = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
    if (crlf) {
      continue; // a text-mode read sees CR LF as one LF
    }
    const char c = bytes[i];
    open = true;
    ++inPiece;
    if (c != '\r' && c != '\n') {
      text += c;
    }
    if (c == '\n' || inPiece == kPiece) {
      text += "\r\n";
      inPiece = 0;
      open = false;
    }
  }
  if (open) {
    text += "\r\n";
  }
  return text;
}

} // namespace nimbrel
