#include "sim/instrument.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace sim {

namespace {

constexpr std::size_t kMaxCommandLength = 64;
constexpr int kByteTimeUs = 1042; // one 8N1 character at 9600 baud

const std::string kOk = "OK";
const std::string kRefused = "?";
const std::string kWrongState = "#";

// The value with a fixed number of decimals ("%.3f", "%.5f").
std::string Format(int decimals, double value) {
  std::array<char, 64> buf{};
  std::snprintf(buf.data(), buf.size(), "%.*f", decimals, value);
  return buf.data();
}

std::string PageText(int page) {
  std::array<char, 16> buf{};
  std::snprintf(buf.data(), buf.size(), "%.4d", page);
  return buf.data();
}

bool IsPrintable(const std::string& text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) {
      return false;
    }
  }
  return true;
}

// Exactly four decimal digits, as the program formats page numbers.
std::optional<int> ParsePage(const std::string& param) {
  if (param.size() != 4) {
    return std::nullopt;
  }
  int value = 0;
  for (const char c : param) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

// A single digit 0 or 1.
std::optional<int> ParseFlag(const std::string& param) {
  if (param == "0" || param == "1") {
    return param[0] - '0';
  }
  return std::nullopt;
}

// Digits with one decimal point ("." or ","), nothing else.
std::optional<double> ParseDecimal(const std::string& param) {
  std::string text = param;
  int points = 0;
  int digits = 0;
  for (char& c : text) {
    if (c == ',') {
      c = '.';
    }
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (points > 1 || digits == 0) {
    return std::nullopt;
  }
  return std::strtod(text.c_str(), nullptr);
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool Take(std::map<std::string, int>& counts, const std::string& key) {
  for (const std::string& k : {key, std::string("*")}) {
    auto it = counts.find(k);
    if (it != counts.end() && it->second != 0) {
      if (it->second > 0) {
        --it->second;
      }
      return true;
    }
  }
  return false;
}

bool TakePage(std::map<int, int>& counts, int page) {
  auto it = counts.find(page);
  if (it != counts.end() && it->second != 0) {
    if (it->second > 0) {
      --it->second;
    }
    return true;
  }
  return false;
}

} // namespace

std::string Output::Bytes() const {
  std::string all;
  for (const auto& piece : pieces) {
    all += piece.bytes;
  }
  return all;
}

std::int64_t HostLocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  CivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  return SecondsSince2000(t);
}

Instrument::Instrument(InstrumentState state, Clock clock) : state_(std::move(state)), clock_(std::move(clock)) {}

Output Instrument::Receive(const std::string& bytes) {
  Output out;
  for (const char c : bytes) {
    if (c == '\n') {
      continue; // a line feed after the carriage return carries nothing
    }
    if (c != '\r') {
      if (pending_.size() >= kMaxCommandLength) {
        discarding_ = true; // an overlong line is garbage; its end gets one refusal
      } else {
        pending_ += c;
      }
      continue;
    }
    const std::string command = discarding_ ? std::string("\x7f") : pending_;
    pending_.clear();
    discarding_ = false;
    ++commandsSeen_;
    std::vector<std::string> lines;
    const std::string code = command.substr(0, 2);
    int page = -1;
    if (code == "KR" || code == "KS") {
      page = ParsePage(command.substr(2)).value_or(-1);
    }
    if (faults_.silentAfterCommands >= 0 && commandsSeen_ > faults_.silentAfterCommands) {
      continue;
    }
    if (Take(faults_.silent, code)) {
      continue;
    }
    if (Take(faults_.wrongState, code)) {
      lines = {kWrongState};
    } else if (Take(faults_.refuse, code) || (page >= 0 && TakePage(faults_.refusePage, page))) {
      lines = {kRefused};
    } else {
      lines = Execute(command);
    }
    ApplyFaults(code, page, lines, out);
    if (out.hangUp) {
      break;
    }
  }
  return out;
}

void Instrument::ApplyFaults(const std::string& code, int page, std::vector<std::string>& lines, Output& out) {
  const bool isPage = (code == "KR" || code == "KS") && page >= 0 && lines.size() > 1;
  if (isPage && faults_.silentInPageAfterLines >= 0 && faults_.silentInPageTimes != 0) {
    if (faults_.silentInPageTimes > 0) {
      --faults_.silentInPageTimes;
    }
    if (lines.size() > static_cast<std::size_t>(faults_.silentInPageAfterLines)) {
      lines.resize(static_cast<std::size_t>(faults_.silentInPageAfterLines));
    }
  }
  std::string bytes;
  if (faults_.garbageEvery > 0 && commandsSeen_ % faults_.garbageEvery == 0) {
    bytes += faults_.garbage;
  }
  for (const auto& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  if (isPage) {
    ++pagesSent_;
    if (faults_.hangUpAfterPages >= 0 && pagesSent_ >= faults_.hangUpAfterPages) {
      out.hangUp = true;
    }
  }
  if (bytes.empty()) {
    return;
  }
  if (!faults_.pace9600 && faults_.splitBytes <= 0) {
    out.pieces.push_back({0, bytes});
    return;
  }
  const std::size_t step = faults_.pace9600 ? 1 : static_cast<std::size_t>(faults_.splitBytes);
  for (std::size_t pos = 0; pos < bytes.size(); pos += step) {
    Piece piece{0, bytes.substr(pos, step)};
    if (faults_.pace9600) {
      piece.delayUs = kByteTimeUs;
    }
    if (faults_.splitBytes > 0 && pos > 0 && pos % static_cast<std::size_t>(faults_.splitBytes) == 0) {
      piece.delayUs += faults_.splitDelayMs * 1000;
    }
    out.pieces.push_back(std::move(piece));
  }
}

// When the next sample is due: 900 s after the last one the memory holds, or now for an empty memory.
void Instrument::CatchUp() {
  constexpr std::int64_t kInterval = 900;
  PageRing& temp = state_.memory.temp;
  const std::int64_t now = Now();
  if (!nextSample_) {
    nextSample_ = now;
    if (!temp.IsEmpty()) {
      std::int64_t t = 0;
      for (const auto& line : temp.Page(temp.write)) {
        if (IsHexStamp(line)) {
          t = ParseHexStamp(line);
        } else if (!line.empty() && line[0] == ' ') {
          t += kInterval;
        }
      }
      nextSample_ = t;
    }
  }
  // After a long pause (or the clock set far ahead) one memory's worth is enough.
  const std::int64_t most = static_cast<std::int64_t>(temp.pageCount) * PageRing::kRecordsPerPage;
  if ((now - *nextSample_) / kInterval > most) {
    *nextSample_ = now - most * kInterval;
  }
  for (; *nextSample_ <= now; *nextSample_ += kInterval) {
    double value = ClimateTemperature(*nextSample_);
    if (state_.settings.unit == 1) {
      value = CelsiusToFahrenheit(value);
    }
    const std::string stamp = HexStamp(static_cast<std::uint32_t>(*nextSample_));
    temp.Append(TemperatureLine(value), stamp);
  }
}

std::vector<std::string> Instrument::Execute(const std::string& command) {
  if (live_) {
    CatchUp();
  }
  if (command.size() < 2 || !IsPrintable(command)) {
    eraseArmed_ = false;
    return {kRefused};
  }
  const std::string code = command.substr(0, 2);
  const std::string param = command.substr(2);
  const bool wasArmed = eraseArmed_;
  eraseArmed_ = false;
  Settings& s = state_.settings;
  Memory& m = state_.memory;

  // Commands without a parameter.
  if (param.empty()) {
    if (code == "AA") {
      return {s.instrumentType};
    }
    if (code == "AS") {
      return {"Serial Num: " + s.serial};
    }
    if (code == "AG") {
      return {s.firmwareVersion};
    }
    if (code == "AH") {
      return {"FW Date" + s.firmwareDate};
    }
    if (code == "FA") {
      return {FormatDateTime(Now())};
    }
    if (code == "RZ") {
      return {std::to_string(s.battery)};
    }
    if (code == "K5") {
      eraseArmed_ = true;
      return {kOk};
    }
    if (code == "K6") {
      if (!wasArmed) {
        return {kWrongState}; // the erase must be announced by K5 first
      }
      m.rain.Erase();
      m.temp.Erase();
      return {kOk};
    }
    if (code == "K0") {
      state_.partialCounter = 0;
      return {kOk};
    }
    if (code == "K1") {
      state_.totalCounter = 0;
      state_.partialCounter = 0;
      return {kOk};
    }
    if (code == "RQ") {
      return {m.Flags()};
    }
    if (code == "RN") {
      return {PageText(m.rain.read)};
    }
    if (code == "RM") {
      return {PageText(m.rain.write)};
    }
    if (code == "RS") {
      return {PageText(m.rain.hist)};
    }
    if (code == "RU") {
      return {PageText(m.temp.read)};
    }
    if (code == "RT") {
      return {PageText(m.temp.write)};
    }
    if (code == "RW") {
      return {PageText(m.temp.hist)};
    }
    if (code == "RA") {
      return {Format(s.unit == 1 ? 5 : 3, s.tipValue)};
    }
    if (code == "RB") {
      return {std::to_string(s.unit)};
    }
    if (code == "RC") {
      return {std::to_string(s.contactType)};
    }
    if (code == "RD") {
      return {std::to_string(s.alertMode)};
    }
  }

  // Commands with a parameter ("DS" also takes an empty one).
  if (code == "DS") {
    if (param.size() > 8) {
      return {kRefused};
    }
    s.serial = param;
    return {kOk};
  }
  if (code == "DA") {
    const auto when = ParseDateTime(param);
    if (!when) {
      return {kRefused};
    }
    state_.clockOffset = *when - clock_();
    if (live_) {
      // The logger restarts its time base at the new time.
      const std::string stamp = HexStamp(static_cast<std::uint32_t>(*when));
      state_.memory.temp.Append("Z1", stamp);
      state_.memory.temp.Append(stamp, stamp);
      nextSample_ = *when;
    }
    return {kOk};
  }
  if (code == "KR" || code == "KS") {
    const auto page = ParsePage(param);
    PageRing& ring = code == "KR" ? m.rain : m.temp;
    if (!page || !ring.Contains(*page)) {
      return {kRefused};
    }
    if (code == "KR") {
      return m.RainPageLines(*page);
    }
    return m.TempPageLines(*page).value_or(std::vector<std::string>{kRefused});
  }
  if (code == "WN" || code == "WW") {
    const auto page = ParsePage(param);
    PageRing& ring = code == "WN" ? m.rain : m.temp;
    if (!page || !ring.SetRead(*page)) {
      return {kRefused};
    }
    return {kOk};
  }
  if (code == "WA") {
    const auto value = ParseDecimal(param);
    const bool inch = s.unit == 1;
    const double low = inch ? 0.002 : 0.05;
    const double high = inch ? 0.0629 : 1.599;
    // The parameter carries at most the digits the program sends; allow for float rounding.
    if (!value || *value < low - 1e-9 || *value > high + 1e-9) {
      return {kRefused};
    }
    s.tipValue = std::strtod(Format(inch ? 5 : 3, *value).c_str(), nullptr);
    return {kOk};
  }
  if (code == "WB" || code == "WC" || code == "WD") {
    const auto flag = ParseFlag(param);
    if (!flag) {
      return {kRefused};
    }
    (code == "WB" ? s.unit : code == "WC" ? s.contactType : s.alertMode) = *flag;
    return {kOk};
  }
  return {kRefused};
}

std::optional<std::string> Instrument::ExpectedDump(bool oldData) const {
  const Memory& m = state_.memory;
  const PageRing& rain = m.rain;
  const PageRing& temp = m.temp;
  const Settings& s = state_.settings;
  const bool newRain = rain.write != rain.read;
  const bool empty = rain.write == rain.hist && temp.write == temp.hist;
  if (oldData ? (newRain || empty) : (!newRain && (empty || temp.write == temp.read))) {
    return std::nullopt;
  }

  // What the program learnt from the identity and setting replies.
  std::string serial = "Serial Num: " + s.serial;
  serial = Trim(serial.substr(serial.find(':') + 1));
  const auto tip = static_cast<float>(std::strtod(Format(s.unit == 1 ? 5 : 3, s.tipValue).c_str(), nullptr));

  std::string file;
  auto addLine = [&file](const std::string& line) { file += line + "\r\r\n"; };
  auto addRainPages = [&](int from) {
    for (int p = rain.Next(from);; p = rain.Next(p)) {
      for (const auto& line : m.RainPageLines(p)) {
        addLine(line);
      }
      if (p == rain.write) {
        break;
      }
    }
  };
  auto addTempPages = [&](int from) {
    if (temp.write == from) {
      return;
    }
    for (int p = temp.Next(from);; p = temp.Next(p)) {
      // A refused page is skipped by the download and leaves no trace in the file.
      if (const auto lines = m.TempPageLines(p)) {
        for (std::size_t i = 1; i < lines->size(); ++i) {
          addLine((*lines)[i]);
        }
      }
      if (p == temp.write) {
        break;
      }
    }
  };
  // The header holds millimetres whatever the unit: an inch tip value is converted.
  const double tipMm = s.unit == 1 ? static_cast<double>(tip) / 0.03937 : static_cast<double>(tip);
  auto addRainHeader = [&] {
    file += "********** Nimbrel   -TBR4470-   Serial Num:" + serial +
            " **********\r\r\n\r\r\nmm H2O per tip = " + Format(5, tipMm) +
            "\r\r\nUnit Meas =" + (s.unit == 1 ? "1" : "0") + "\r\r\n";
  };
  const std::string section = "TEMPERATURE (-TBR4470- Serial Num: " + serial + ")";

  if (!oldData) {
    if (newRain) {
      addRainHeader();
      addRainPages(rain.read);
    }
    addLine(section);
    addTempPages(temp.read);
    return file;
  }
  if (rain.hist != rain.write) {
    addRainHeader();
    addRainPages(rain.hist);
  }
  addLine(section);
  addTempPages(temp.hist);
  return file;
}

std::vector<DaySummary> Summarise(const Memory& memory) {
  std::map<std::int64_t, DaySummary> days;
  auto dayOf = [&days](std::int64_t t) -> DaySummary& {
    const std::int64_t day = t - ((t % 86400) + 86400) % 86400;
    DaySummary& d = days[day];
    d.day = day;
    return d;
  };
  const PageRing& rain = memory.rain;
  for (int p = rain.hist; p != rain.write;) {
    p = rain.Next(p);
    for (const auto& line : rain.Page(p)) {
      if (IsHexStamp(line)) {
        ++dayOf(ParseHexStamp(line)).tips;
      }
    }
  }
  const PageRing& temp = memory.temp;
  std::int64_t t = 0;
  for (int p = temp.hist; p != temp.write;) {
    p = temp.Next(p);
    for (const auto& line : temp.Page(p)) {
      if (IsHexStamp(line)) {
        t = ParseHexStamp(line);
      } else if (!line.empty() && line[0] == ' ') {
        DaySummary& d = dayOf(t);
        if (line.find("ERR") != std::string::npos || line.find("OFL") != std::string::npos ||
            line.find("UFL") != std::string::npos) {
          ++d.faultySamples;
        } else {
          const double v = std::strtod(line.c_str(), nullptr);
          d.tempMin = d.samples == 0 ? v : std::min(d.tempMin, v);
          d.tempMax = d.samples == 0 ? v : std::max(d.tempMax, v);
          ++d.samples;
        }
        t += 900;
      }
    }
  }
  std::vector<DaySummary> result;
  result.reserve(days.size());
  for (const auto& entry : days) {
    result.push_back(entry.second);
  }
  return result;
}

} // namespace sim
