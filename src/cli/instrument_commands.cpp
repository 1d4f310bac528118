#include "cli/instrument_commands.h"

#include "app/instrument_session.h"
#include "base/safe_file.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "link/port_settings.h"
#include "link/queued_sink.h"
#include "link/serial_session_port.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace nimbrel::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
// Ctrl+C, SIGTERM and SIGHUP stop what is running (the dump file keeps a clean prefix); a second
// one ends the program at once.
void OnStopSignal(int signal) {
  if (gInterrupted != 0) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gInterrupted = 1;
}

std::string Std(const QString& s) {
  return s.toLocal8Bit().toStdString();
}

constexpr const char* kClearQuestion = "WARNING\nDo you want to clear instrument memory ?";
constexpr const char* kStopQuestion = "Confirm stop downloading ?";
// How long nimbrel-cli waits for the next line inside a page before it stops the download: the
// desktop program waits for its user's "Stop Download", and here there is none.
constexpr int kSilenceLimitReplyTimeouts = 15; // 30 s with the product's timing

// Message boxes become lines on standard error; questions are answered from the flags.
class CliPrompts final : public IPrompts {
public:
  explicit CliPrompts(InstrumentEnv& env) : env_(env) {}
  void Message(const std::string& text, Icon /*icon*/) override { env_.err(text + "\n"); }
  Answer Question(const std::string& text, Buttons /*buttons*/, Icon /*icon*/, Answer defaultAnswer) override {
    const Answer answer = answer_ ? answer_(text, defaultAnswer) : defaultAnswer;
    const bool yes = answer == Answer::Yes;
    env_.err(text + " " + (yes ? "Yes" : "No") + (text == kClearQuestion && !yes ? clearNoHint : "") + "\n");
    return answer;
  }
  // Answers the questions by their text.
  void Answers(std::function<Answer(const std::string& text, Answer defaultAnswer)> answer) {
    answer_ = std::move(answer);
  }
  std::string clearNoHint = " (add --clear-memory to release it)";

private:
  InstrumentEnv& env_;
  std::function<Answer(const std::string&, Answer)> answer_;
};

std::string Duration(Millis d) {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
  return s >= 60 ? Printf("%lld min %02lld s", static_cast<long long>(s / 60), static_cast<long long>(s % 60))
                 : Printf("%lld s", static_cast<long long>(s));
}

// The download's progress on standard error: a bar refreshed in place on a terminal, otherwise a
// line every 5 percent (a log file or a scheduled job's mail gets a readable account).
class CProgressReport {
public:
  CProgressReport(InstrumentEnv& env, bool terminal) : env_(env), terminal_(terminal) {}
  void Show(const DownloadStatusValues& v) {
    const DownloadProgress& p = v.progress;
    if (p.pagesTotal == 0) {
      return;
    }
    const std::string left = p.remaining ? ", about " + Duration(*p.remaining) + " left" : "";
    const int percent = p.Percent();
    if (terminal_) {
      constexpr int kWidth = 24;
      const int filled = percent * kWidth / 100;
      const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                              std::string(static_cast<std::size_t>(kWidth - filled), '-');
      env_.err(Printf("\r[%s] %3d%%  %s page %s: %d of %d pages%s   ", bar.c_str(), percent,
                      v.rainPhase ? "rain" : "temperature", v.pageNum.c_str(), p.pagesDone, p.pagesTotal,
                      left.c_str()));
      shown_ = true;
    } else if (percent / 5 > lastStep_) {
      lastStep_ = percent / 5;
      env_.err(Printf("Download: %d%% (%d of %d pages)%s\n", percent, p.pagesDone, p.pagesTotal, left.c_str()));
    }
  }
  void End() {
    if (shown_) {
      env_.err("\n");
      shown_ = false;
    }
  }

private:
  InstrumentEnv& env_;
  bool terminal_;
  bool shown_ = false;
  int lastStep_ = -1;
};

// What the windows would show, as nimbrel-cli reports it.
class CliView final : public ISessionView, public IDownloadView {
public:
  explicit CliView(InstrumentEnv& env) : env_(env), progress_(env, env.terminal) {}
  void SetLinkStatus(const LinkStatus& status) override { env_.err(status.text + "\n"); }
  void SetTitle(const std::string& /*title*/) override {}
  void ShowConnecting(const std::string& /*text*/) override {}
  void HideConnecting() override {}
  void ConnectFinished(bool ok) override { connected = ok; }
  void ShowInstrumentInfo(const std::string& text) override { info = text; }
  void ShowWaitDialog(const std::string& /*text*/) override {}
  void DestroyWaitDialog() override {}
  void ShowSetupDialog() override {}
  void ShowDownloadStatus(const DownloadStatusValues& v) override { UpdateDownloadStatus(v); }
  void UpdateDownloadStatus(const DownloadStatusValues& v) override {
    if (env_.progress) {
      progress_.Show(v);
    }
  }
  void HideDownloadStatus() override { progress_.End(); }
  void DestroyDownloadStatus() override { progress_.End(); }
  void DownloadEnded(DownloadEnd how) override {
    progress_.End();
    ended = how;
  }
  void OpenDataWindow(const std::filesystem::path& path) override { opened = path; }
  int SavePrompt() override { return 0; } // nothing is lost: the dump file stays on disk
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) override {
    progress_.End();
    env_.err(message + "\n");
    if (oldData) {
      return DownloadOption::RainAndTemperatureOld;
    }
    if (oldTemperature) {
      env_.err("Only old data are in the instrument memory: add --old-data to download them.\n");
      onlyOldData = true;
      return std::nullopt;
    }
    env_.err("Download only new Temperature data (chosen because there are no new rain data; --old-data downloads "
             "the old rain and temperature data instead)\n");
    return DownloadOption::NewTemperatureOnly;
  }
  std::optional<std::string> AskSerialNumber(const std::string& /*prompt*/) override { return serialNumber; }

  std::optional<bool> connected;
  std::optional<std::string> info;
  std::optional<DownloadEnd> ended;
  std::optional<std::filesystem::path> opened;
  bool oldData = false;
  bool onlyOldData = false;
  std::optional<std::string> serialNumber;

private:
  InstrumentEnv& env_;
  CProgressReport progress_;
};

// One instrument, one session, for the length of a command.
class Run {
public:
  Run(InstrumentEnv& env, const QString& port) : env_(env), prompts_(env), view_(env), store_(env.programDirectory) {
    CPortConfig config;
    if (port.isEmpty()) {
      if (Status read = store_.Read(config); !read.ok()) {
        prompts_.Message(read.message() + "\n(Write a port.ini, or give the port with --port COMn or a device path.)",
                         Icon::Warning);
      }
    } else {
      config.Settings = DefaultPortSettings();
    }
    auto marshal = env.marshal;
    if (!marshal) {
      marshal = [this](LinkEventSink inner) { return MakeQueuedSink(&receiver_, std::move(inner)); };
    }
    if (env.scheduler == nullptr) {
      ownScheduler_ = MakeQtScheduler();
    }
    port_ = env.makePort(env.programDirectory);
    std::optional<std::string> fixedPort;
    if (!port.isEmpty()) {
      const std::string name = Std(port);
      if (name.size() > 3 && name.rfind("COM", 0) == 0 &&
          name.find_first_not_of("0123456789", 3) == std::string::npos) {
        config.Settings.Port = LeadingInt(std::string_view(name).substr(3));
        config.AutoDetect = 0; // the port asked for, not the scan
      } else {
        fixedPort = name;
      }
    }
    session_ = std::make_unique<CInstrumentSession>(
        CInstrumentSession::Deps{*port_, Scheduler(), prompts_, view_, view_, store_, env.programDirectory, config,
                                 FactoryMarkers::Find(env.programDirectory), env.timing, marshal});
    session_->SetFixedPort(fixedPort);
  }
  ~Run() {
    session_.reset(); // closes the port before the receiver of its events goes
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  IScheduler& Scheduler() { return env_.scheduler != nullptr ? *env_.scheduler : *ownScheduler_; }
  CInstrumentSession& Session() { return *session_; }
  CliPrompts& Prompts() { return prompts_; }
  CliView& View() { return view_; }

  // Waits until done() holds or a stop signal came; false on the signal.
  bool Wait(const std::function<bool()>& done) {
    bool interrupted = false;
    auto check = [&] {
      if (env_.interrupted && env_.interrupted()) {
        interrupted = true;
      }
      return interrupted || done();
    };
    if (env_.runUntil) {
      env_.runUntil(check);
    } else if (!check()) {
      QEventLoop loop;
      QTimer poll;
      poll.setInterval(5);
      QObject::connect(&poll, &QTimer::timeout, [&] {
        if (check()) {
          loop.quit();
        }
      });
      poll.start();
      loop.exec();
    }
    return !interrupted && done();
  }

  // Connects and reads the identity. False (messages already shown) when there is no instrument or
  // it does not give its identity.
  bool Connect() {
    session_->Connect();
    if (!Wait([this] { return view_.connected.has_value(); }) || !Wait([this] { return session_->Idle(); })) {
      env_.err("Interrupted.\n");
      return false;
    }
    if (!*view_.connected) {
      return false;
    }
    if (!view_.info) {
      env_.err("ERROR: the instrument answered the probe but did not give its identity: check the cable and the "
               "instrument, then try again.\n");
      return false;
    }
    return true;
  }

  // Runs one maintenance action and reports how it ended.
  int Maintenance(const std::function<void(CInstrumentSession&)>& action) {
    if (!Connect()) {
      return kExitFailed;
    }
    action(*session_);
    if (!Wait([this] { return session_->Idle(); })) {
      env_.err("Interrupted.\n");
      return kExitFailed;
    }
    (void)session_->Disconnect(); // nothing downloaded, so nothing to save
    return session_->Maintenance().Outcome().ok() ? kExitOk : kExitFailed;
  }

private:
  InstrumentEnv& env_;
  QObject receiver_;
  CliPrompts prompts_;
  CliView view_;
  CPortIniStore store_;
  std::unique_ptr<IScheduler> ownScheduler_;
  std::unique_ptr<ISessionPort> port_;
  std::unique_ptr<CInstrumentSession> session_;
};

const QCommandLineOption kPortOption{"port", "the instrument's port: COMn or a device path; default port.ini", "PORT"};

int Info(const QStringList& args, InstrumentEnv& env) {
  CCommandLine o("info", "Connects to the instrument and writes its type, serial number and firmware.");
  o.Parser().addOption(kPortOption);
  if (auto exit = o.Parse(args, env.out, env.err)) {
    return *exit;
  }
  Run run(env, o.Value("port"));
  if (!run.Connect()) {
    return kExitFailed;
  }
  (void)run.Session().Disconnect(); // nothing downloaded, so nothing to save
  std::string info = *run.View().info;
  for (auto at = info.find("\n\n"); at != std::string::npos; at = info.find("\n\n", at)) {
    info.erase(at, 1); // one field a line
  }
  env.out(info + "\n");
  return kExitOk;
}

// Why a download that did not complete ended, for the user and the exit code.
int DownloadEndedEarly(DownloadEnd how, Run& run, InstrumentEnv& env) {
  CInstrumentSession& session = run.Session();
  switch (how) {
  case DownloadEnd::MemoryEmpty:
    (void)session.Disconnect(); // nothing downloaded, so nothing to save
    return kExitMemoryEmpty;
  case DownloadEnd::Cancelled:
    return run.View().onlyOldData ? kExitUsage : kExitFailed;
  case DownloadEnd::Stalled:
    env.err("ERROR: the download cannot go on by itself (the instrument gave no usable answer); it was stopped.\n");
    session.OnStopDownload();
    return kExitFailed;
  default:
    return kExitFailed;
  }
}

int Download(const QStringList& args, InstrumentEnv& env) {
  CCommandLine o("download", "Downloads the instrument memory into DumpFile.rlg in the current directory.\n"
                             "Exit code 0 when the download is complete, 3 when the memory is empty, 4 when some "
                             "pages could not be read (the memory is then never released), 2 when only old data "
                             "are there and --old-data was not given, 1 otherwise.\n"
                             "Ctrl+C, SIGTERM or SIGHUP stop it; the file keeps what came. A download that gets no "
                             "line for 30 s inside a page is stopped.");
  o.Parser().addOption(kPortOption);
  o.Parser().addOption({"old-data", "when there are no new rain data, download the old rain and temperature data"});
  o.Parser().addOption({"clear-memory", "release the downloaded memory in the instrument afterwards (only after a "
                                        "complete download)"});
  o.Parser().addOption(
      {"output", "copy the downloaded file to FILE (replacing it) once the download is complete", "FILE"});
  o.Parser().addOption({{"q", "quiet"}, "no progress report"});
  if (auto exit = o.Parse(args, env.out, env.err)) {
    return *exit;
  }
  std::optional<std::filesystem::path> output;
  if (o.IsSet("output")) {
    output = std::filesystem::absolute(Std(o.Value("output")));
    // A target that can never receive the file is refused before the instrument is touched.
    if (const Status usable = CheckTarget(*output); !usable.ok()) {
      env.err("download: " + usable.message() + "\n");
      return kExitUsage;
    }
  }
  env.progress = env.progress && !o.IsSet("quiet");
  Run run(env, o.Value("port"));
  CInstrumentSession& session = run.Session();
  run.View().oldData = o.IsSet("old-data");
  const bool clearMemory = o.IsSet("clear-memory");
  run.Prompts().Answers([&session, clearMemory, &run](const std::string& text, Answer defaultAnswer) {
    if (text == kStopQuestion) {
      return Answer::Yes;
    }
    if (text == kClearQuestion) {
      // Pages that could not be read would be lost with the memory: never released after them.
      const int missed = session.Download().PagesMissed();
      run.Prompts().clearNoHint = missed > 0    ? " (the memory is kept: the pages that could not be read stay in "
                                                  "the instrument for the next download)"
                                  : clearMemory ? ""
                                                : " (add --clear-memory to release it)";
      return clearMemory && missed == 0 ? Answer::Yes : Answer::No;
    }
    return defaultAnswer;
  });
  if (!run.Connect()) {
    return kExitFailed;
  }
  session.OnDownload();

  const Millis silenceLimit = env.timing.replyTimeout * kSilenceLimitReplyTimeouts;
  DownloadStatusValues lastSeen;
  Millis lastChange = run.Scheduler().Now();
  bool silent = false;
  const bool ended = run.Wait([&] {
    if (run.View().ended) {
      return true;
    }
    const DownloadStatusValues now = session.Download().StatusValues();
    if (now.pageNum != lastSeen.pageNum || now.dataDownloaded != lastSeen.dataDownloaded ||
        now.progress.pagesDone != lastSeen.progress.pagesDone) {
      lastSeen = now;
      lastChange = run.Scheduler().Now();
    } else if (session.Downloading() && run.Scheduler().Now() - lastChange > silenceLimit) {
      silent = true;
    }
    return silent;
  });
  if (!ended || silent) {
    env.err(silent ? Printf("ERROR: the instrument stopped sending during page %s.\n", lastSeen.pageNum.c_str())
                   : std::string("Interrupted.\n"));
    session.OnStopDownload();
    return kExitFailed;
  }
  if (*run.View().ended != DownloadEnd::Complete) {
    return DownloadEndedEarly(*run.View().ended, run, env);
  }
  // The memory release (if asked) and the opening of the file come after "Download Complete".
  if (!run.Wait([&] { return session.Idle() && run.View().opened.has_value(); })) {
    env.err("Interrupted.\n");
    return kExitFailed;
  }
  (void)session.Disconnect(); // the file stays on disk: nothing to save
  std::error_code ec;
  if (output && !std::filesystem::equivalent(*run.View().opened, *output, ec)) {
    if (const Status copied = CopyFileAtomically(*run.View().opened, *output); !copied.ok()) {
      env.err("ERROR: " + copied.message() + "\nThe download is in " + run.View().opened->string() + ".\n");
      return kExitFailed;
    }
  }
  if (const int missed = session.Download().PagesMissed(); missed > 0) {
    env.err(Printf("The download is incomplete: %d page%s could not be read.\n", missed, missed == 1 ? "" : "s"));
    return kExitIncomplete;
  }
  if (clearMemory && !session.Download().ReleaseOutcome().ok()) {
    env.err("ERROR: the instrument memory was not released: " + session.Download().ReleaseOutcome().message() + ".\n");
    return kExitFailed;
  }
  return kExitOk;
}

int ClearCounter(const QStringList& args, InstrumentEnv& env) {
  CCommandLine o("clear-counter", "Clears the partial or the total rain counter of the instrument.", "partial|total",
                 1);
  o.Parser().addPositionalArgument("WHICH", "partial or total");
  o.Parser().addOption(kPortOption);
  o.Parser().addOption({"yes", "confirm clearing"});
  if (auto exit = o.Parse(args, env.out, env.err)) {
    return *exit;
  }
  const QStringList which = o.Positional();
  if (which.size() != 1 || (which[0] != "partial" && which[0] != "total")) {
    env.err("clear-counter: say which counter, partial or total\n" + o.HelpText());
    return kExitUsage;
  }
  const bool partial = which[0] == "partial";
  const std::string question =
      partial ? "WARNING: Confirm clearing partial counter ?" : "WARNING: Confirm clearing total counter ?";
  if (!o.IsSet("yes")) {
    env.err(question + "\nNot confirmed: add --yes to clear the counter.\n");
    return kExitUsage;
  }
  Run run(env, o.Value("port"));
  run.Prompts().Answers([](const std::string&, Answer) { return Answer::Yes; });
  return run.Maintenance(
      [partial](CInstrumentSession& s) { partial ? s.OnClearPartialCounter() : s.OnClearTotalCounter(); });
}

int EraseMemory(const QStringList& args, InstrumentEnv& env) {
  CCommandLine o("erase-memory", "Erases the instrument memory (factory PCs: Produzione.dll or Ermem.dll).");
  o.Parser().addOption(kPortOption);
  o.Parser().addOption({"yes", "confirm erasing"});
  if (auto exit = o.Parse(args, env.out, env.err)) {
    return *exit;
  }
  if (!FactoryMarkers::Find(env.programDirectory).EraseOffered()) {
    env.err("ERASE MEMORY is available only with Produzione.dll or Ermem.dll in the program directory.\n");
    return kExitFailed;
  }
  if (!o.IsSet("yes")) {
    env.err("WARNING: Confirm erase instrument memory ?\nNot confirmed: add --yes to erase the memory.\n");
    return kExitUsage;
  }
  Run run(env, o.Value("port"));
  run.Prompts().Answers([](const std::string&, Answer) { return Answer::Yes; });
  return run.Maintenance([](CInstrumentSession& s) { s.OnEraseMemory(); });
}

int SetSerial(const QStringList& args, InstrumentEnv& env) {
  CCommandLine o("set-serial", "Sets the instrument's serial number (factory PCs: Produzione.dll).", "NUMBER", 1);
  o.Parser().addPositionalArgument("NUMBER", "the serial number, at most 8 characters");
  o.Parser().addOption(kPortOption);
  if (auto exit = o.Parse(args, env.out, env.err)) {
    return *exit;
  }
  const QStringList number = o.Positional();
  if (number.size() != 1 || number[0].toLocal8Bit().size() > 8) {
    env.err("set-serial: give one serial number of at most 8 characters\n");
    return kExitUsage;
  }
  if (!FactoryMarkers::Find(env.programDirectory).SetSerialOffered()) {
    env.err("SET SERIAL NUM is available only with Produzione.dll in the program directory.\n");
    return kExitFailed;
  }
  Run run(env, o.Value("port"));
  run.View().serialNumber = Std(number[0]);
  return run.Maintenance([](CInstrumentSession& s) { s.OnSetSerialNumber(); });
}

} // namespace

InstrumentEnv DefaultInstrumentEnv() {
  InstrumentEnv env;
  env.programDirectory = std::filesystem::current_path();
  env.makePort = [](const std::filesystem::path& dir) { return std::make_unique<CSerialSessionPort>(dir); };
  env.out = [](const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
  };
  env.err = [](const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stderr);
    std::fflush(stderr);
  };
  env.terminal = ::isatty(STDERR_FILENO) != 0;
  gInterrupted = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    std::signal(signal, OnStopSignal);
  }
  env.interrupted = [] { return gInterrupted != 0; };
  return env;
}

int RunInstrumentCommand(const std::string& command, const QStringList& args, InstrumentEnv& env) {
  static const std::map<std::string, int (*)(const QStringList&, InstrumentEnv&)> commands{
      {"info", Info},
      {"download", Download},
      {"clear-counter", ClearCounter},
      {"erase-memory", EraseMemory},
      {"set-serial", SetSerial},
  };
  const auto it = commands.find(command);
  if (it == commands.end()) {
    env.err("unknown instrument command '" + command + "'\n");
    return kExitUsage;
  }
  return it->second(args, env);
}

namespace {
int RunWithDefaults(const std::string& command, const QStringList& args) {
  InstrumentEnv env = DefaultInstrumentEnv();
  return RunInstrumentCommand(command, args, env);
}
} // namespace

int RunInfo(const QStringList& args) {
  return RunWithDefaults("info", args);
}
int RunDownload(const QStringList& args) {
  return RunWithDefaults("download", args);
}
int RunClearCounter(const QStringList& args) {
  return RunWithDefaults("clear-counter", args);
}
int RunEraseMemory(const QStringList& args) {
  return RunWithDefaults("erase-memory", args);
}
int RunSetSerial(const QStringList& args) {
  return RunWithDefaults("set-serial", args);
}

} // namespace nimbrel::cli
