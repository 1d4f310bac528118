// libFuzzer target: any bytes as what the instrument sends on the serial line. The instrument
// session runs in virtual time through connection, setup read, maintenance and download while the
// input answers every text it writes, cut into pieces that arrive after delays the input chooses.
// Nothing may crash, grow without bound or hang, and the dump file may hold nothing but its header,
// its section line and the lines that answered page requests.
//
// The input is read in the order the run needs it:
//   - byte 0: bit 0 turns automatic port detection on;
//   - whenever the session is idle, one byte chooses what the user does next (Act);
//   - every text written to the port takes the next reply: pieces, each a control byte (bits 0-3:
//     the length, 15 meaning that the next byte is the length and 0 there a hang-up; bit 4: the
//     last piece of the reply; bits 5-7: the delay before it arrives) followed by its bytes.
// After the input, texts written get no answer.
#include "app/instrument_session.h"
#include "line_port.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace nimbrel::fuzz {
namespace {

namespace fs = std::filesystem;

// Bounds taken from the protocol.
constexpr std::size_t kLongestBurst = 15; // the setup read queues its 15 commands at once
constexpr std::size_t kMaxQueue = kLongestBurst + 3;
// The send tick, the reply time-out, the progress tick, and the timed steps of the procedures
// (a connection's next step, the pause between pages, the opening of the file).
constexpr std::size_t kMaxSessionTimers = 6;
constexpr Millis kStopAfterSilence{30000}; // a page stopped halfway: the user presses Stop Download
constexpr Millis kMaxQuiet{60000};         // busy without a byte or a write: the longest wait is 10 s
// Once the instrument is silent: every command of the longest burst sent four times, each waiting for
// its time-out and the next tick, then the Stop of a stalled download.
constexpr Millis kSettleAfterEnd =
    kLongestBurst * 4 * (SessionTiming{}.replyTimeout + SessionTiming{}.sendTick) + kStopAfterSilence;
// Around the tick (500 ms), the probe's wait (1 s), the reply time-out (2 s) and the erase's (10 s).
constexpr std::array<Millis, 8> kDelays{Millis(0),   Millis(3),    Millis(30),   Millis(150),
                                        Millis(600), Millis(1900), Millis(2600), Millis(10500)};
constexpr const char* kClearQuestion = "WARNING\nDo you want to clear instrument memory ?";

// The program directory of this process: made before the first input, removed at exit and before
// a failed check stops the process.
fs::path gProgramDirectory;

void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "line_fuzz: %s\n", what);
    std::error_code ec;
    fs::remove_all(gProgramDirectory, ec);
    __builtin_trap();
  }
}

class Input {
public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  [[nodiscard]] bool AtEnd() const { return pos_ >= size_; }
  std::uint8_t Byte() { return AtEnd() ? 0 : data_[pos_++]; }
  std::string Bytes(std::size_t n) {
    n = std::min(n, size_ - pos_);
    std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The user in front of the windows: answers as the run chose and sees nothing else.
class User final : public IPrompts, public ISessionView, public IDownloadView {
public:
  void Message(const std::string& /*text*/, Icon /*icon*/) override {}
  // "Confirm stop downloading ?" and the maintenance confirmations get Yes.
  Answer Question(const std::string& text, Buttons /*b*/, Icon /*i*/, Answer /*d*/) override {
    return text == kClearQuestion ? clearMemory : Answer::Yes;
  }
  void SetLinkStatus(const LinkStatus& /*status*/) override {}
  void SetTitle(const std::string& /*title*/) override {}
  void ShowConnecting(const std::string& /*text*/) override {}
  void HideConnecting() override {}
  void ConnectFinished(bool /*connected*/) override {}
  void ShowInstrumentInfo(const std::string& /*text*/) override {}
  void ShowWaitDialog(const std::string& /*text*/) override {}
  void DestroyWaitDialog() override {}
  void ShowSetupDialog() override {}
  std::optional<std::string> AskSerialNumber(const std::string& /*prompt*/) override { return "12345678"; }
  int SavePrompt() override { return 0; }
  void ShowDownloadStatus(const DownloadStatusValues& /*values*/) override {}
  void UpdateDownloadStatus(const DownloadStatusValues& /*values*/) override {}
  void HideDownloadStatus() override {}
  void DestroyDownloadStatus() override {}
  void DownloadEnded(DownloadEnd how) override { ended(how); }
  void OpenDataWindow(const fs::path& /*path*/) override {}
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& /*m*/, bool /*old*/) override { return option; }

  Answer clearMemory = Answer::No;
  std::optional<DownloadOption> option;
  std::function<void(DownloadEnd)> ended;
};

class Store final : public IPortSettingsStore {
public:
  explicit Store(CPortConfig config) : config_(std::move(config)) {}
  Status Read(CPortConfig& config) override {
    config = config_;
    return Status::Ok();
  }
  Status Write(const CPortConfig& config) override {
    config_ = config;
    return Status::Ok();
  }

private:
  CPortConfig config_;
};

CPortConfig Settings(bool autoDetect) {
  CPortConfig c;
  c.Settings = DefaultPortSettings();
  c.AutoDetect = autoDetect ? 1 : 0;
  return c;
}

// The records of a file as written in text mode: each ends with its LF.
std::vector<std::string> Records(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t lf = bytes.find('\n'); lf != std::string::npos; lf = bytes.find('\n', from)) {
    out.push_back(bytes.substr(from, lf + 1 - from));
    from = lf + 1;
  }
  Require(from == bytes.size(), "the dump file ends inside a line");
  return out;
}

bool StartsEnds(const std::string& s, const std::string& head, const std::string& tail) {
  return s.size() >= head.size() + tail.size() && s.compare(0, head.size(), head) == 0 &&
         s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsHeader(const std::vector<std::string>& r) {
  return r.size() >= 4 && StartsEnds(r[0], "********** Nimbrel   -TBR4470-   Serial Num:", " **********\r\r\n") &&
         r[1] == "\r\r\n" && StartsEnds(r[2], "mm H2O per tip = ", "\r\r\n") &&
         (r[3] == "Unit Meas =0\r\r\n" || r[3] == "Unit Meas =1\r\r\n");
}

class Run {
public:
  Run(const std::uint8_t* data, std::size_t size, const fs::path& dir) : input_(data, size), dir_(dir) {
    user_.ended = [this](DownloadEnd how) { Ended(how); };
    const CPortConfig settings = Settings((input_.Byte() & 1U) != 0);
    store_ = std::make_unique<Store>(settings);
    session_ = std::make_unique<CInstrumentSession>(CInstrumentSession::Deps{
        port_, sched_, user_, user_, user_, *store_, dir_, settings, {true, true}, SessionTiming{}, {}});
  }

  void Go() {
    session_->Connect();
    for (;;) {
      Settle();
      if (input_.AtEnd()) {
        break;
      }
      Act(input_.Byte());
    }
    CheckDumpFile();
  }

private:
  // The instrument answers a written text with the next reply of the input.
  void Answer(const std::string& written) {
    Trace(written.substr(0, written.find('\r')));
    Millis at{0};
    while (!input_.AtEnd()) {
      const std::uint8_t control = input_.Byte();
      std::size_t length = control & 0x0FU;
      at += kDelays[control >> 5U];
      if (length == 15) {
        length = input_.Byte();
        if (length == 0) {
          port_.HangUpAfter(at);
          return;
        }
      }
      port_.ArriveAfter(at, input_.Bytes(length));
      if ((control & 0x10U) != 0) {
        return;
      }
    }
  }

  // LINE_FUZZ_TRACE=1 shows what went out and how downloads ended: how the seeds were checked.
  void Trace(const std::string& what) const {
    if (std::getenv("LINE_FUZZ_TRACE") != nullptr) {
      std::fprintf(stderr, "%8lld ms  %s\n", static_cast<long long>(sched_.Now().count()), what.c_str());
    }
  }

  bool Enabled(ShellCommand c) const { return session_->Menu()[c].enabled; }

  // What the user does next, when the session is idle: connect when not connected, otherwise by
  // `choice` % 8 the setup read, a counter (1, 2), the erase, the serial number, or (5-7) a download
  // with the option (choice >> 3) % 3 (new temperature, old data, Cancel) and Yes to clearing the
  // memory when bit 5 is set. The data of the last download are discarded first, as closing its
  // window without saving does, so that Connect and Download stay available.
  void Act(std::uint8_t choice) {
    lastUser_ = sched_.Now();
    session_->DownloadedData().CurrentDumpPath.clear();
    if (!session_->Connected()) {
      if (Enabled(ShellCommand::Connect)) {
        session_->Connect();
      }
      return;
    }
    if (choice % 8 < 5) {
      using Command = void (CInstrumentSession::*)();
      constexpr std::array<std::pair<ShellCommand, Command>, 5> commands{{
          {ShellCommand::Setup, &CInstrumentSession::OnInstrumentSetup},
          {ShellCommand::ClearPartialCounter, &CInstrumentSession::OnClearPartialCounter},
          {ShellCommand::ClearTotalCounter, &CInstrumentSession::OnClearTotalCounter},
          {ShellCommand::EraseMemory, &CInstrumentSession::OnEraseMemory},
          {ShellCommand::SetSerialNum, &CInstrumentSession::OnSetSerialNumber},
      }};
      const auto& [command, run] = commands[choice % 8];
      if (Enabled(command)) {
        (session_.get()->*run)();
      }
      return;
    }
    constexpr std::array<std::optional<DownloadOption>, 3> options{DownloadOption::NewTemperatureOnly,
                                                                   DownloadOption::RainAndTemperatureOld, std::nullopt};
    user_.option = options[(choice >> 3U) % 3];
    user_.clearMemory = (choice & 0x20U) != 0 ? Answer::Yes : Answer::No;
    if (Enabled(ShellCommand::Download)) {
      pageLines_.clear();
      session_->OnDownload();
    }
  }

  // The model: the lines handed over as page lines that answered a page request of this download,
  // as text mode writes them (the LF becomes CR LF).
  void Observe(const LinkEvent& event, bool answersPageRequest) {
    if (event.kind == LinkEvent::Kind::PageLine && answersPageRequest) {
      pageLines_.push_back(event.line.substr(0, event.line.size() - 1) + "\r\n");
    }
  }

  void Ended(DownloadEnd how) {
    Trace("download ended " + std::to_string(static_cast<int>(how)));
    CheckDumpFile();
  }

  // The dump file holds an optional header, at most one section line, and page lines in the order
  // they came: written by this download, or left as the last check found it.
  void CheckDumpFile() {
    const std::vector<std::string> records = Records(dir_ / "DumpFile.rlg");
    const auto holds = [&records](const std::vector<std::string>& model) {
      auto next = model.begin();
      bool section = false;
      for (std::size_t i = IsHeader(records) ? 4 : 0; i < records.size(); ++i) {
        const auto found = std::find(next, model.end(), records[i]);
        if (found != model.end()) {
          next = found + 1;
        } else if (!section && StartsEnds(records[i], "TEMPERATURE (-TBR4470- Serial Num: ", ")\r\r\n")) {
          section = true;
        } else {
          return false;
        }
      }
      return true;
    };
    if (holds(pageLines_)) {
      fileLines_ = pageLines_;
      return;
    }
    Require(holds(fileLines_), "the dump file holds a line that did not answer a page request");
  }

  void CheckBounds() const {
    Require(session_->Queue().Size() <= kMaxQueue, "the command queue grows");
    Require(port_.LineBuffer() < CLineAssembler::kBufferLimit, "the listener's line buffer grows");
    Require(sched_.Pending() - port_.OwnTimers() <= kMaxSessionTimers, "the session's timers pile up");
    Require(port_.EventsWaiting() <= LinePort::kDriverQueue, "events pile up before the session");
  }

  // Runs until the session is idle and nothing is on its way, pressing Stop Download when a download
  // waits for it; the session must not stay busy without anything happening on the line, and must
  // become idle within a bounded time once the instrument has said everything.
  void Settle() {
    for (;;) {
      CheckBounds();
      const Millis now = sched_.Now();
      const CDownload::State state = session_->Download().GetState();
      const Millis lastActivity = std::max(port_.LastActivity(), lastUser_);
      if (state == CDownload::State::Stalled || (session_->Downloading() && now - lastActivity >= kStopAfterSilence)) {
        session_->OnStopDownload();
        Require(session_->Download().GetState() == CDownload::State::Idle, "Stop Download leaves the download running");
        lastUser_ = now;
        continue;
      }
      const bool idle = session_->Idle() && state == CDownload::State::Idle;
      if (idle && port_.InFlight() == 0 && port_.EventsWaiting() == 0) {
        return;
      }
      Require(idle || now - lastActivity <= kMaxQuiet, "the session stays busy with nothing on the line");
      if (input_.AtEnd() && port_.InFlight() == 0) {
        silentSince_ = std::min(silentSince_, now);
        Require(now - silentSince_ <= kSettleAfterEnd, "the session is not idle long after the input ended");
      }
      Require(sched_.RunNext(), "the session waits for nothing");
    }
  }

  Input input_;
  fs::path dir_;
  ManualScheduler sched_;
  User user_;
  LinePort port_{sched_, [this](const std::string& written) { Answer(written); },
                 [this](const LinkEvent& e, bool page) { Observe(e, page); }};
  std::unique_ptr<Store> store_;
  std::vector<std::string> pageLines_; // this download's page lines that answered page requests
  std::vector<std::string> fileLines_; // the page lines of the download that wrote the dump file
  Millis lastUser_{0};
  Millis silentSince_{Millis::max()};
  std::unique_ptr<CInstrumentSession> session_; // last: goes first, while what it uses is still there
};

// One program directory for the whole run, emptied before each input.
const fs::path& ProgramDirectory() {
  if (gProgramDirectory.empty()) {
    std::string pattern =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) / "nimbrel-line-fuzz-XXXXXX";
    Require(::mkdtemp(pattern.data()) != nullptr, "no temporary program directory");
    gProgramDirectory = pattern;
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(gProgramDirectory, ec);
    });
  }
  return gProgramDirectory;
}

} // namespace
} // namespace nimbrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbrel::fuzz;
  const auto& dir = ProgramDirectory();
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::filesystem::remove_all(entry.path());
  }
  Run(data, size, dir).Go();
  return 0;
}
