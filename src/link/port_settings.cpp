#include "link/port_settings.h"

#include "app/prompts.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

namespace nimbrel {

namespace {

// port.ini is read in pieces of at most this many characters; a longer line gives several.
constexpr std::size_t kPieceLength = 78;

struct FileCloser {
  void operator()(std::FILE* f) const { static_cast<void>(std::fclose(f)); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One piece of a line as a text-mode read gives it: CR LF comes back as LF, and the text ends at
// the first NUL byte, since the keys are searched in it as in a C string.
bool ReadPiece(std::FILE* f, std::string& piece) {
  piece.clear();
  while (piece.size() < kPieceLength) {
    int c = std::getc(f);
    if (c == EOF) {
      break;
    }
    if (c == '\r') {
      const int next = std::getc(f);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        static_cast<void>(std::ungetc(next, f));
      }
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n') {
      break;
    }
  }
  if (piece.empty()) {
    return false;
  }
  const auto nul = piece.find('\0');
  if (nul != std::string::npos) {
    piece.resize(nul);
  }
  return true;
}

bool Has(const std::string& text, std::string_view what) {
  return text.find(what) != std::string::npos;
}

// The decimal number at the start of `text` after blanks and an optional sign; 0 without digits.
std::int32_t LeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kLimit);
  }
  if (negative) {
    value = -value;
  }
  return static_cast<std::int32_t>(
      std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

const char* ParityText(std::int32_t code) {
  switch (code) {
  case 0:
    return "N";
  case 1:
    return "O";
  case 2:
    return "E";
  default:
    return "";
  }
}

const char* StopBitsText(std::int32_t code) {
  switch (code) {
  case 0:
    return "1";
  case 1:
    return "1,5";
  case 2:
    return "2";
  default:
    return "";
  }
}

} // namespace

CPortSettings DefaultPortSettings() {
  return CPortSettings{2, 9600, 8, 0, 0, "S"};
}

bool ReadPortSettings(const std::filesystem::path& file, CPortConfig& config, IPrompts& prompts) {
  const auto loadDefaults = [&] {
    prompts.Message(std::string(kPortFileNotFound), Icon::Warning);
    config.Settings = DefaultPortSettings();
    return false;
  };
  const File f(std::fopen(file.c_str(), "rb"));
  if (!f) {
    return loadDefaults();
  }
  enum class Seen { Nothing, Port, Baud };
  Seen seen = Seen::Nothing;
  CPortSettings& s = config.Settings;
  std::string piece;
  while (ReadPiece(f.get(), piece)) {
    if (Has(piece, "AUTODETECT=")) {
      if (Has(piece, "1")) {
        config.AutoDetect = 1;
      } else if (Has(piece, "0")) {
        config.AutoDetect = 0;
      }
    }
    if (Has(piece, "COM=")) {
      seen = Seen::Port;
      // "COM10" holds "COM1": only ports 1 to 4 are recognised, later tests win.
      static constexpr std::array<std::pair<std::string_view, std::int32_t>, 4> kPorts{
          {{"COM1", 1}, {"COM2", 2}, {"COM3", 3}, {"COM4", 4}}};
      for (const auto& [text, number] : kPorts) {
        if (Has(piece, text)) {
          s.Port = number;
        }
      }
    }
    if (Has(piece, "BAUDRATE=")) {
      seen = Seen::Baud;
      // "9600" holds "600": the later, longer match wins.
      static constexpr std::array<std::pair<std::string_view, std::int32_t>, 9> kBauds{{{"300", 300},
                                                                                        {"600", 600},
                                                                                        {"1200", 1200},
                                                                                        {"2400", 2400},
                                                                                        {"4800", 4800},
                                                                                        {"9600", 9600},
                                                                                        {"19200", 19200},
                                                                                        {"38400", 38400},
                                                                                        {"115200", 115200}}};
      for (const auto& [text, baud] : kBauds) {
        if (Has(piece, text)) {
          s.BaudRate = baud;
        }
      }
    }
    // These look at every line, whatever its key.
    if (Has(piece, "8")) {
      s.DataBits = 8;
    }
    if (Has(piece, "N")) {
      s.Parity = 0;
    }
    if (Has(piece, "1")) {
      s.StopBits = 0;
    }
    if (Has(piece, "S")) {
      s.Flow = "S";
    }
  }
  if (seen != Seen::Baud) {
    return loadDefaults();
  }
  return true;
}

std::string FormatPortSettings(const CPortConfig& config) {
  const CPortSettings& s = config.Settings;
  std::string out;
  out += config.AutoDetect != 0 ? "AUTODETECT=1\r\n" : "AUTODETECT=0\r\n";
  out += "COM= COM" + std::to_string(s.Port) + "\r\n";
  out += "BAUDRATE= " + std::to_string(s.BaudRate) + "\r\n";
  out += std::string("PARITY= ") + ParityText(s.Parity) + "\r\n";
  out += "NUMBIT= " + std::to_string(s.DataBits) + "\r\n";
  out += std::string("BITSTOP= ") + StopBitsText(s.StopBits) + "\r\n";
  out += "FLOW_CTRL= " + s.Flow + "\r\n";
  return out;
}

bool WritePortSettings(const std::filesystem::path& file, const CPortConfig& config, IPrompts& prompts) {
  const std::string bytes = FormatPortSettings(config);
  File f(std::fopen(file.c_str(), "wb"));
  bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  if (f) {
    ok = std::fclose(f.release()) == 0 && ok;
  }
  if (!ok) {
    prompts.Message(std::string(kPortSaveFailed), Icon::Warning);
  }
  return ok;
}

CPortConfig ApplyPortSetup(const PortSetupTexts& texts, const CPortConfig& current) {
  CPortConfig next = current;
  CPortSettings& s = next.Settings;
  const auto m = texts.Port.find('M');
  s.Port =
      LeadingInt(m == std::string::npos ? std::string_view(texts.Port) : std::string_view(texts.Port).substr(m + 1));
  s.BaudRate = LeadingInt(texts.BaudRate);
  s.DataBits = LeadingInt(texts.DataBits);
  if (texts.StopBits == "1") {
    s.StopBits = 0;
  } else if (texts.StopBits == "1,5") {
    s.StopBits = 1;
  } else if (texts.StopBits == "2") {
    s.StopBits = 2;
  }
  if (texts.Parity == "None") {
    s.Parity = 0;
  } else if (texts.Parity == "Odd") {
    s.Parity = 1;
  } else if (texts.Parity == "Even") {
    s.Parity = 2;
  }
  if (texts.Flow == "Software(Xon/Xoff)") {
    s.Flow = "S";
  } else if (texts.Flow == "Hardware") {
    s.Flow = "H";
  } else if (texts.Flow == "None") {
    s.Flow = "N";
  }
  next.AutoDetect = texts.AutoDetect ? 1 : 0;
  return next;
}

} // namespace nimbrel
