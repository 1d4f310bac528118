#include "link/port_settings.h"

#include "base/numbers.h"
#include "base/safe_file.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

namespace nimbrel {

namespace {

// The flow letter is set with assign(1, c): g++ 12 at -O3 warns falsely (-Wrestrict) about
// assigning a one-letter literal to a string.

// port.ini is read in pieces of at most this many characters; a longer line gives several.
constexpr std::size_t kPieceLength = 78;

// One piece of a line as a text-mode read gives it: CR LF comes back as LF, and the text ends at
// the first NUL byte, since the keys are searched in it as in a C string.
bool ReadPiece(std::istream& in, std::string& piece) {
  piece.clear();
  while (piece.size() < kPieceLength) {
    int c = in.get();
    if (c == std::char_traits<char>::eof()) {
      break;
    }
    if (c == '\r' && in.peek() == '\n') {
      c = in.get();
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

Status ReadPortSettings(const std::filesystem::path& file, CPortConfig& config) {
  const auto loadDefaults = [&](StatusCode code) {
    config.Settings = DefaultPortSettings();
    return Status(code, std::string(kPortFileNotFound));
  };
  std::ifstream f(file, std::ios::binary);
  if (!f) {
    return loadDefaults(StatusCode::NotFound);
  }
  enum class Seen { Nothing, Port, Baud };
  Seen seen = Seen::Nothing;
  CPortSettings& s = config.Settings;
  std::string piece;
  while (ReadPiece(f, piece)) {
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
      s.Flow.assign(1, 'S');
    }
  }
  if (seen != Seen::Baud) {
    return loadDefaults(StatusCode::DataFormat);
  }
  return Status::Ok();
}

CPortConfig WithValidValues(CPortConfig config) {
  const CPortSettings d = DefaultPortSettings();
  CPortSettings& s = config.Settings;
  if (s.DataBits < 5 || s.DataBits > 8) {
    s.DataBits = d.DataBits;
  }
  if (s.StopBits < 0 || s.StopBits > 2) {
    s.StopBits = d.StopBits;
  }
  if (s.Parity < 0 || s.Parity > 2) {
    s.Parity = d.Parity;
  }
  if (s.Flow != "H" && s.Flow != "S" && s.Flow != "N") {
    s.Flow = d.Flow;
  }
  return config;
}

std::string FormatPortSettings(const CPortConfig& config) {
  const CPortSettings& s = config.Settings;
  std::string out;
  const auto line = [&out](std::string_view key, std::string_view value) {
    out.append(key);
    out.append(value);
    out.append("\r\n");
  };
  line(config.AutoDetect != 0 ? "AUTODETECT=1" : "AUTODETECT=0", "");
  line("COM= COM", std::to_string(s.Port));
  line("BAUDRATE= ", std::to_string(s.BaudRate));
  line("PARITY= ", ParityText(s.Parity));
  line("NUMBIT= ", std::to_string(s.DataBits));
  line("BITSTOP= ", StopBitsText(s.StopBits));
  line("FLOW_CTRL= ", s.Flow);
  return out;
}

Status WritePortSettings(const std::filesystem::path& file, const CPortConfig& config) {
  const std::string bytes = FormatPortSettings(config);
  // Written beside the old file and renamed: a full disk never leaves half a port.ini.
  const Status written = WriteFileAtomically(file, [&bytes](const std::filesystem::path& temporary) {
    std::ofstream f(temporary, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.close();
    return f ? Status::Ok() : Status(StatusCode::Io, "write failed");
  });
  return written.ok() ? written : Status(written.code(), std::string(kPortSaveFailed));
}

CPortIniStore::CPortIniStore(const std::filesystem::path& programDirectory) : file_(programDirectory / kPortIniName) {}

Status CPortIniStore::Read(CPortConfig& config) {
  Status s = ReadPortSettings(file_, config_);
  config = config_;
  return s;
}

Status CPortIniStore::Write(const CPortConfig& config) {
  config_ = config;
  return WritePortSettings(file_, config_);
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
    s.Flow.assign(1, 'S');
  } else if (texts.Flow == "Hardware") {
    s.Flow.assign(1, 'H');
  } else if (texts.Flow == "None") {
    s.Flow.assign(1, 'N');
  }
  next.AutoDetect = texts.AutoDetect ? 1 : 0;
  return next;
}

} // namespace nimbrel
