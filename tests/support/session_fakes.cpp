#include "support/session_fakes.h"

#include "base/text.h"

namespace nimbrel::test {

std::string FakeInstrument::RainPage(int page) {
  std::string out = Printf("Z0 PAGE %04d\r\n", page);
  for (int i = 1; i < kRainPageLines; ++i) {
    out += i % 16 == 0 ? std::string("FFFFFFFF\r\n")
                       : Printf("%08X\r\n", 0x0B5C2E41U + static_cast<unsigned>(page * 100 + i));
  }
  return out;
}

std::string FakeInstrument::TempPage(int page) const {
  std::string out = Printf("NUM T MEAS: %d\r\n", tempSamples);
  out += Printf("%08X\r\n", 0x0B5C0000U + static_cast<unsigned>(page) * 3600U);
  for (int i = 0; i < tempSamples; ++i) {
    out += Printf(" %d.%d\r\n", 10 + page % 10, i);
  }
  return out;
}

std::string FakeInstrument::Answer(const std::string& w) {
  if (auto it = before.find(w); it != before.end() && !it->second.empty()) {
    std::string reply = it->second.front();
    it->second.erase(it->second.begin());
    return reply;
  }
  if (auto it = overrides.find(w); it != overrides.end()) {
    return it->second;
  }
  const std::string code = w.substr(0, 2);
  const std::string param = w.size() > 3 ? w.substr(2, w.size() - 3) : std::string();
  auto number = [](int v) { return Printf("%d\r\n", v); };
  const std::map<std::string, std::string> replies{
      {"AA", type},          {"AS", serialLine},    {"AG", "V1.02\r\n"},    {"AH", "FWDATE 2006/01/14\r\n"},
      {"RZ", battery},       {"RA", tip},           {"RB", unit},           {"RM", number(writeR)},
      {"RN", number(readR)}, {"RS", number(histR)}, {"RT", number(writeT)}, {"RU", number(readT)},
      {"RW", number(histT)}, {"RQ", flags}};
  if (auto it = replies.find(code); it != replies.end()) {
    return it->second;
  }
  if (code == "KR")
    return RainPage(LeadingInt(param));
  if (code == "KS") {
    const int page = LeadingInt(param);
    return missingTempPages.count(page) != 0 ? std::string("?\r\n") : TempPage(page);
  }
  return "OK\r\n";
}

void RecordingView::SetLinkStatus(const LinkStatus& s) {
  status = s;
  log.push_back("status:" + s.text);
}

void RecordingView::ShowDownloadStatus(const DownloadStatusValues& v) {
  last = v;
  log.push_back("status shown");
}

std::optional<DownloadOption> RecordingView::ChooseDownloadOption(const std::string& message, bool oldTemperature) {
  ++optionAsked;
  optionMessage = message;
  optionOldTemperature = oldTemperature;
  return option;
}

CPortConfig SessionRig::Com2() {
  CPortConfig c;
  c.Settings = DefaultPortSettings();
  c.Settings.Port = 2;
  c.Settings.BaudRate = 9600;
  return c;
}

SessionRig::SessionRig(CPortConfig settings, FactoryMarkers markers) {
  SessionTiming timing; // the product's values: virtual time costs nothing
  session = std::make_unique<CSession>(
      SessionDeps{port, sched, prompts, view, store, dir.Path(), std::move(settings), markers, timing, {}});
}

void SessionRig::ConnectAndSettle() {
  port.AddDevice("COM2", instrument.Responder());
  session->Connect();
  Settle();
}

void SessionRig::Settle() {
  const Millis end = sched.Now() + Millis(10 * 60 * 1000);
  while (sched.Now() < end && !(session->Idle() && !sched.HasOneShotPending())) {
    if (!sched.RunNext()) {
      break;
    }
  }
}

std::vector<std::string> SessionRig::WritesFrom(std::size_t from) const {
  return {port.writes.begin() + static_cast<std::ptrdiff_t>(std::min(from, port.writes.size())), port.writes.end()};
}

} // namespace nimbrel::test
