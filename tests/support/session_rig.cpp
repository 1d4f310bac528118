#include "support/session_rig.h"

namespace nimbrel::test {

void RecordingView::SetLinkStatus(const LinkStatus& s) {
  status = s;
  log.push_back("status:" + s.text);
}

void RecordingView::ShowDownloadStatus(const DownloadStatusValues& v) {
  last = v;
  log.push_back("status shown");
}

std::optional<std::string> RecordingView::AskSerialNumber(const std::string& prompt) {
  serialPrompt = prompt;
  return serialNumber;
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

SessionRig::SessionRig(sim::InstrumentState state, CPortConfig settings, FactoryMarkers markers)
    : instrument(std::move(state), [] { return sim::SecondsSince2000(sim::CivilTime{2026, 3, 1, 12, 0, 0}); }) {
  const SessionTiming timing; // the product's values: virtual time costs nothing
  session = std::make_unique<CInstrumentSession>(CInstrumentSession::Deps{
      port, sched, prompts, view, view, store, dir.Path(), std::move(settings), markers, timing, {}});
}

InMemoryPort::Responder SessionRig::Device() {
  return [this](const std::string& w) {
    if (auto it = script.find(w); it != script.end() && !it->second.empty()) {
      sim::Output out;
      if (!it->second.front().empty()) {
        out.pieces.push_back({0, it->second.front()});
      }
      it->second.pop_front();
      return out;
    }
    return instrument.Receive(w);
  };
}

void SessionRig::ConnectAndSettle() {
  port.AddDevice("COM2", Device());
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
  std::vector<std::string> out;
  for (std::size_t i = std::min(from, port.writes.size()); i < port.writes.size(); ++i) {
    const std::string& w = port.writes[i];
    out.push_back(!w.empty() && w.back() == '\r' ? w.substr(0, w.size() - 1) : w);
  }
  return out;
}

} // namespace nimbrel::test
