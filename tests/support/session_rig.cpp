#include "support/session_rig.h"

namespace nimbrel::test {

InMemoryPort::Responder Scripted(Script& script, InMemoryPort::Responder otherwise) {
  return [&script, otherwise = std::move(otherwise)](const std::string& w) {
    if (auto it = script.find(w); it != script.end() && !it->second.empty()) {
      sim::Output out;
      if (!it->second.front().empty()) {
        out.pieces.push_back({0, it->second.front()});
      }
      it->second.pop_front();
      return out;
    }
    return otherwise(w);
  };
}

std::vector<std::string> WrittenTexts(const InMemoryPort& port, std::size_t from) {
  std::vector<std::string> out;
  for (std::size_t i = std::min(from, port.writes.size()); i < port.writes.size(); ++i) {
    const std::string& w = port.writes[i];
    out.push_back(!w.empty() && w.back() == '\r' ? w.substr(0, w.size() - 1) : w);
  }
  return out;
}

void RunVirtual(ManualScheduler& sched, const std::function<bool()>& done) {
  const Millis end = sched.Now() + Millis(10 * 60 * 1000);
  while (sched.Now() < end && !done() && sched.RunNext()) {
  }
}

CPortConfig SessionRig::Com2() {
  CPortConfig c;
  c.Settings = DefaultPortSettings();
  c.Settings.Port = 2;
  c.Settings.BaudRate = 9600;
  return c;
}

SessionRig::SessionRig(sim::InstrumentState state, CPortConfig settings, FactoryMarkers markers)
    : instrument(std::move(state), [] {
        return sim::SecondsSince2000(sim::CivilTime{2026, 3, 1, 12, 0, 0});
      }) {
  const SessionTiming timing; // the product's values: virtual time costs nothing
  session = std::make_unique<CInstrumentSession>(CInstrumentSession::Deps{
      port, sched, prompts, view, view, store, dir.Path(), std::move(settings), markers, timing, {}});
}

void SessionRig::ConnectAndSettle() {
  port.AddDevice("COM2", Scripted(script, [this](const std::string& w) { return instrument.Receive(w); }));
  session->Connect();
  Settle();
}

void SessionRig::Settle() {
  RunVirtual(sched, [this] { return session->Idle() && !sched.HasOneShotPending(); });
}

} // namespace nimbrel::test
