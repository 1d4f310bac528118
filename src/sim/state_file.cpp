#include "sim/state_file.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

constexpr const char* kMagic = "tbr4470-sim state 1";

void SaveRing(std::ostringstream& out, const char* name, const PageRing& ring) {
  out << name << ' ' << ring.write << ' ' << ring.read << ' ' << ring.hist << ' ' << (ring.sealed ? 1 : 0) << ' '
      << (ring.overrun ? 1 : 0) << '\n';
  for (int p = ring.firstPage; p <= ring.LastPage(); ++p) {
    const auto& lines = ring.Page(p);
    if (lines.empty()) {
      continue;
    }
    out << "page " << p;
    for (const auto& line : lines) {
      out << '|' << line;
    }
    out << '\n';
  }
}

bool LoadRingHeader(std::istringstream& in, PageRing& ring) {
  int sealed = 0;
  int overrun = 0;
  if (!(in >> ring.write >> ring.read >> ring.hist >> sealed >> overrun)) {
    return false;
  }
  ring.sealed = sealed != 0;
  ring.overrun = overrun != 0;
  return ring.Contains(ring.write) && ring.Contains(ring.read) && ring.Contains(ring.hist) &&
         ring.Distance(ring.hist, ring.read) <= ring.Distance(ring.hist, ring.write);
}

bool ParseInt(const std::string& text, long long& out) {
  try {
    std::size_t used = 0;
    out = std::stoll(text, &used);
    return used == text.size();
  } catch (const std::exception&) {
    return false;
  }
}

} // namespace

std::string SaveStateText(const InstrumentState& state) {
  std::ostringstream out;
  const Settings& s = state.settings;
  std::array<char, 64> tip{};
  std::snprintf(tip.data(), tip.size(), "%.17g", s.tipValue);
  out << kMagic << '\n'
      << "type " << s.instrumentType << '\n'
      << "serial " << s.serial << '\n'
      << "fw_version " << s.firmwareVersion << '\n'
      << "fw_date " << s.firmwareDate << '\n'
      << "tip " << tip.data() << '\n'
      << "unit " << s.unit << '\n'
      << "contact " << s.contactType << '\n'
      << "alert " << s.alertMode << '\n'
      << "battery " << s.battery << '\n'
      << "clock_offset " << state.clockOffset << '\n'
      << "partial " << state.partialCounter << '\n'
      << "total " << state.totalCounter << '\n';
  SaveRing(out, "rain", state.memory.rain);
  SaveRing(out, "temp", state.memory.temp);
  out << "end\n";
  return out.str();
}

bool LoadStateText(const std::string& text, InstrumentState& state, std::string* error) {
  auto fail = [error](const std::string& why, int lineNo) {
    if (error != nullptr) {
      *error = "line " + std::to_string(lineNo) + ": " + why;
    }
    return false;
  };
  InstrumentState loaded;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  if (!std::getline(in, line) || line != kMagic) {
    return fail("not a tbr4470-sim state file", 1);
  }
  lineNo = 1;
  bool ended = false;
  PageRing* current = nullptr;
  while (std::getline(in, line)) {
    ++lineNo;
    const auto space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    long long number = 0;
    Settings& s = loaded.settings;
    if (key == "end") {
      ended = true;
      break;
    }
    if (key == "type" || key == "serial" || key == "fw_version" || key == "fw_date") {
      (key == "type"         ? s.instrumentType
       : key == "serial"     ? s.serial
       : key == "fw_version" ? s.firmwareVersion
                             : s.firmwareDate) = value;
    } else if (key == "tip") {
      char* endp = nullptr;
      s.tipValue = std::strtod(value.c_str(), &endp);
      if (value.empty() || *endp != '\0' || s.tipValue <= 0) {
        return fail("bad tip value", lineNo);
      }
    } else if (key == "unit" || key == "contact" || key == "alert" || key == "battery") {
      if (!ParseInt(value, number) || number < 0 || number > (key == "battery" ? 2 : 1)) {
        return fail("bad " + key, lineNo);
      }
      (key == "unit"      ? s.unit
       : key == "contact" ? s.contactType
       : key == "alert"   ? s.alertMode
                          : s.battery) = static_cast<int>(number);
    } else if (key == "clock_offset" || key == "partial" || key == "total") {
      if (!ParseInt(value, number) || (key != "clock_offset" && number < 0)) {
        return fail("bad " + key, lineNo);
      }
      if (key == "clock_offset") {
        loaded.clockOffset = number;
      } else {
        (key == "partial" ? loaded.partialCounter : loaded.totalCounter) = static_cast<std::uint64_t>(number);
      }
    } else if (key == "rain" || key == "temp") {
      current = key == "rain" ? &loaded.memory.rain : &loaded.memory.temp;
      std::istringstream fields(value);
      if (!LoadRingHeader(fields, *current)) {
        return fail("bad " + key + " pointers", lineNo);
      }
    } else if (key == "page") {
      const auto bar = value.find('|');
      if (current == nullptr || bar == std::string::npos || !ParseInt(value.substr(0, bar), number) ||
          !current->Contains(static_cast<int>(number))) {
        return fail("bad page", lineNo);
      }
      std::vector<std::string> lines;
      std::string rest = value.substr(bar + 1);
      for (std::size_t pos = 0;;) {
        const auto next = rest.find('|', pos);
        lines.push_back(rest.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
        if (next == std::string::npos) {
          break;
        }
        pos = next + 1;
      }
      if (lines.size() > static_cast<std::size_t>(PageRing::kLinesPerPage)) {
        return fail("page too long", lineNo);
      }
      current->pages.at(static_cast<std::size_t>(number - current->firstPage)) = std::move(lines);
    } else {
      return fail("unknown key \"" + key + "\"", lineNo);
    }
  }
  if (!ended) {
    return fail("file ends early", lineNo);
  }
  state = std::move(loaded);
  return true;
}

bool SaveStateFile(const std::string& path, const InstrumentState& state, std::string* error) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << SaveStateText(state);
    if (!out.flush()) {
      if (error != nullptr) {
        *error = "cannot write " + temp;
      }
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    if (error != nullptr) {
      *error = "cannot replace " + path;
    }
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool LoadStateFile(const std::string& path, InstrumentState& state, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) {
      *error = "cannot read " + path;
    }
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return LoadStateText(text.str(), state, error);
}

} // namespace sim
