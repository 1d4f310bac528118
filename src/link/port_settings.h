#pragma once

#include "base/status.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace nimbrel {

// The serial port the instrument hangs on, as port.ini keeps it. Only the port number, the baud
// rate and the automatic detection change how the program connects; the rest is kept and shown.
struct CPortSettings {
  std::int32_t Port = 0; // the port is "COM" followed by this number
  std::int32_t BaudRate = 0;
  std::int32_t DataBits = 0;
  std::int32_t StopBits = 0; // 0 "1", 1 "1,5", 2 "2"
  std::int32_t Parity = 0;   // 0 "N", 1 "O", 2 "E"
  std::string Flow;          // "H", "S" or "N"

  bool operator==(const CPortSettings&) const = default;
};

// The program-wide record and the automatic-detection flag kept beside it.
struct CPortConfig {
  CPortSettings Settings;
  std::int32_t AutoDetect = 0;

  bool operator==(const CPortConfig&) const = default;
};

inline constexpr const char* kPortIniName = "port.ini";
inline constexpr std::string_view kPortFileNotFound =
    "Error : port setup file not found.\nLoad default configuration (9600,N,8,1)";
inline constexpr std::string_view kPortSaveFailed = "Error : fail saving port configuration.";

// Port 2, 9600 baud, 8 data bits, one stop bit, no parity, software flow control.
CPortSettings DefaultPortSettings();

// Reads `file` into `config` by the rules of port.ini. A missing file, or one whose last "COM=" /
// "BAUDRATE=" line is not a "BAUDRATE=" line, loads the defaults (the automatic-detection flag
// keeps its value) and returns a status with kPortFileNotFound, which the caller shows as a warning.
Status ReadPortSettings(const std::filesystem::path& file, CPortConfig& config);

// The settings with every field the line cannot use (data bits, stop bits, parity, flow letter that
// a partial port.ini left unset) replaced by its default, for rewriting the file after a scan.
CPortConfig WithValidValues(CPortConfig config);

// The seven lines of port.ini, with CR LF line ends.
std::string FormatPortSettings(const CPortConfig& config);

// Writes `file`; on failure the status carries kPortSaveFailed (shown as a warning) and the file is
// left as it was.
Status WritePortSettings(const std::filesystem::path& file, const CPortConfig& config);

// Where the session reads and writes its port settings: port.ini, or memory in tests.
class IPortSettingsStore {
public:
  IPortSettingsStore() = default;
  IPortSettingsStore(const IPortSettingsStore&) = delete;
  IPortSettingsStore& operator=(const IPortSettingsStore&) = delete;
  virtual ~IPortSettingsStore() = default;
  // Fills `config` (the defaults when the status is not Ok).
  virtual Status Read(CPortConfig& config) = 0;
  virtual Status Write(const CPortConfig& config) = 0;
};

// port.ini in the program directory.
class CPortIniStore final : public IPortSettingsStore {
public:
  explicit CPortIniStore(const std::filesystem::path& programDirectory);
  // Keeps the automatic-detection flag of the last read, as the program-wide record does.
  Status Read(CPortConfig& config) override;
  Status Write(const CPortConfig& config) override;

private:
  std::filesystem::path file_;
  CPortConfig config_;
};

// The "Port Setup" dialog: what its lists offer when it opens.
inline constexpr std::array<const char*, 10> kPortChoices{"COM1", "COM2", "COM3", "COM4", "COM5",
                                                          "COM6", "COM7", "COM8", "COM9", "COM10"};
inline constexpr const char* kBaudChoice = "9600";
inline constexpr const char* kDataBitsChoice = "8";
inline constexpr const char* kStopBitsChoice = "1";
inline constexpr const char* kParityChoice = "None";
inline constexpr const char* kFlowChoice = "Hardware";

// The dialog's texts and check box when the user presses OK.
struct PortSetupTexts {
  std::string Port; // empty when no port was chosen
  std::string BaudRate;
  std::string DataBits;
  std::string StopBits;
  std::string Parity;
  std::string Flow;
  bool AutoDetect = false;
};

// The settings the dialog's OK stores: numbers from the texts, codes from the known choices; a
// text matching no choice leaves its setting as it was. The caller then writes the file.
CPortConfig ApplyPortSetup(const PortSetupTexts& texts, const CPortConfig& current);

} // namespace nimbrel
