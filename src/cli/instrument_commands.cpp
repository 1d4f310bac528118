#include "cli/instrument_commands.h"

#include "cli/commands.h"
#include "link/port_settings.h"
#include "link/queued_sink.h"
#include "link/serial_session_port.h"
#include "app/instrument_session.h"
#include "base/safe_file.h"
#include "base/text.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <unistd.h>

namespace nimbrel::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
// The first Ctrl+C stops what is running; a second one ends the program at once.
void OnSigInt(int signal) {
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

// Message boxes become lines on standard error; questions are answered from the flags.
class CliPrompts final : public IPrompts {
public:
  explicit CliPrompts(InstrumentEnv& env) : env_(env) {}
  void Message(const std::string& text, Icon /*icon*/) override { env_.err(text + "\n"); }
  Answer Question(const std::string& text, Buttons /*buttons*/, Icon /*icon*/, Answer defaultAnswer) override {
    const auto it = answers.find(text);
    const Answer answer = it == answers.end() ? defaultAnswer : it->second;
    env_.err(text + " " + (answer == Answer::Yes ? "Yes" : "No") + "\n");
    return answer;
  }
  std::map<std::string, Answer> answers;

private:
  InstrumentEnv& env_;
};

std::string Duration(Millis d) {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
  return s >= 60 ? Printf("%lld min %02lld s", static_cast<long long>(s / 60), static_cast<long long>(s % 60))
                 : Printf("%lld s", static_cast<long long>(s));
}

// What the windows would show, as nimbrel-cli reports it.
class CliView final : public ISessionView, public IDownloadView {
public:
  explicit CliView(InstrumentEnv& env) : env_(env) {}
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
    if (!env_.progress || v.progress.pagesTotal == 0) {
      return;
    }
    const std::string left = v.progress.remaining ? ", about " + Duration(*v.progress.remaining) + " left" : "";
    env_.err(Printf("\rPage %s: %d of %d pages (%d%%)%s   ", v.pageNum.c_str(), v.progress.pagesDone,
                    v.progress.pagesTotal, v.progress.Percent(), left.c_str()));
    progressShown = true;
  }
  void HideDownloadStatus() override { EndProgressLine(); }
  void DestroyDownloadStatus() override { EndProgressLine(); }
  void DownloadEnded(DownloadEnd how) override {
    EndProgressLine();
    ended = how;
  }
  void OpenDataWindow(const std::filesystem::path& path) override { opened = path; }
  int SavePrompt() override { return 0; } // nothing is lost: the dump file stays on disk
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) override {
    env_.err(message + "\n");
    if (oldData) {
      return DownloadOption::RainAndTemperatureOld;
    }
    if (oldTemperature) {
      env_.err("Only old data are in the instrument memory: add --old-data to download them.\n");
      return std::nullopt;
    }
    env_.err("Download only new Temperature data\n");
    return DownloadOption::NewTemperatureOnly;
  }
  std::optional<std::string> AskSerialNumber(const std::string& /*prompt*/) override { return serialNumber; }

  void EndProgressLine() {
    if (progressShown) {
      env_.err("\n");
      progressShown = false;
    }
  }

  std::optional<bool> connected;
  std::optional<std::string> info;
  std::optional<DownloadEnd> ended;
  std::optional<std::filesystem::path> opened;
  bool oldData = false;
  std::optional<std::string> serialNumber;
  bool progressShown = false;

private:
  InstrumentEnv& env_;
};

struct Options {
  QCommandLineParser parser;
  std::optional<int> exit; // set when the arguments already decided the outcome
};

void Parse(Options& o, const QStringList& args, InstrumentEnv& env) {
  if (!o.parser.parse(args)) {
    env.err(Std(o.parser.errorText()) + "\n");
    o.exit = kExitUsage;
  } else if (o.parser.isSet("help")) {
    env.out(Std(o.parser.helpText()));
    o.exit = kExitOk;
  }
}

// One instrument, one session, for the length of a command.
class Run {
public:
  Run(InstrumentEnv& env, const QString& port)
      : env_(env), prompts_(env), view_(env), store_(env.programDirectory) {
    CPortConfig config;
    if (port.isEmpty()) {
      if (Status read = store_.Read(config); !read.ok()) {
        prompts_.Message(read.message(), Icon::Warning);
      }
    } else {
      config.Settings = DefaultPortSettings();
    }
    SessionTiming timing = env.timing;
    auto marshal = env.marshal;
    if (!marshal) {
      marshal = [this](LinkEventSink inner) { return MakeQueuedSink(&receiver_, std::move(inner)); };
    }
    if (env.scheduler == nullptr) {
      ownScheduler_ = MakeQtScheduler();
    }
    port_ = env.makePort(env.programDirectory);
    if (!port.isEmpty()) {
      const std::string name = Std(port);
      if (name.size() > 3 && name.rfind("COM", 0) == 0 &&
          name.find_first_not_of("0123456789", 3) == std::string::npos) {
        config.Settings.Port = LeadingInt(std::string_view(name).substr(3));
        config.AutoDetect = 0;
      } else {
        fixedPort_ = name;
      }
    }
    session_ = std::make_unique<CInstrumentSession>(
        CInstrumentSession::Deps{*port_, Scheduler(), prompts_, view_, view_, store_, env.programDirectory, config,
                                 FactoryMarkers::Find(env.programDirectory), timing, marshal});
    if (fixedPort_) {
      session_->SetFixedPort(fixedPort_);
    }
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

  // Waits until done() holds or the user pressed Ctrl+C; false on Ctrl+C.
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

  // Connects and reads the identity. False (messages already shown) when there is no instrument.
  bool Connect() {
    session_->Connect();
    if (!Wait([this] { return view_.connected.has_value(); })) {
      env_.err("Interrupted.\n");
      return false;
    }
    if (!*view_.connected) {
      return false;
    }
    if (!Wait([this] { return session_->Idle(); })) {
      env_.err("Interrupted.\n");
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
  std::optional<std::string> fixedPort_;
  std::unique_ptr<CInstrumentSession> session_;
};

const QCommandLineOption kPortOption{"port", "the instrument's port: COMn or a device path; default port.ini", "PORT"};

int Info(const QStringList& args, InstrumentEnv& env) {
  Options o;
  o.parser.setApplicationDescription("Connects to the instrument and writes its type, serial number and firmware.");
  o.parser.addHelpOption();
  o.parser.addOption(kPortOption);
  Parse(o, args, env);
  if (o.exit) {
    return *o.exit;
  }
  Run run(env, o.parser.value("port"));
  if (!run.Connect()) {
    return kExitFailed;
  }
  (void)run.Session().Disconnect(); // nothing downloaded, so nothing to save
  if (!run.View().info) {
    return kExitFailed;
  }
  env.out(*run.View().info + "\n");
  return kExitOk;
}

int Download(const QStringList& args, InstrumentEnv& env) {
  Options o;
  o.parser.setApplicationDescription(
      "Downloads the instrument memory into DumpFile.rlg in the current directory.\n"
      "Exit code 0 when the download is complete, 3 when the memory is empty, 1 otherwise. Ctrl+C stops it.");
  o.parser.addHelpOption();
  o.parser.addOption(kPortOption);
  o.parser.addOption({"old-data", "when there are no new rain data, download the old rain and temperature data"});
  o.parser.addOption({"clear-memory", "release the downloaded memory in the instrument afterwards"});
  o.parser.addOption({"output", "copy the downloaded file to FILE", "FILE"});
  Parse(o, args, env);
  if (o.exit) {
    return *o.exit;
  }
  std::optional<std::filesystem::path> output;
  if (o.parser.isSet("output")) {
    output = std::filesystem::absolute(Std(o.parser.value("output")));
    // A target that can never receive the file is refused before the instrument is touched.
    if (const Status usable = CheckTarget(*output); !usable.ok()) {
      env.err("download: " + usable.message() + "\n");
      return kExitUsage;
    }
  }
  Run run(env, o.parser.value("port"));
  run.View().oldData = o.parser.isSet("old-data");
  run.Prompts().answers["WARNING\nDo you want to clear instrument memory ?"] =
      o.parser.isSet("clear-memory") ? Answer::Yes : Answer::No;
  run.Prompts().answers["Confirm stop downloading ?"] = Answer::Yes;
  if (!run.Connect()) {
    return kExitFailed;
  }
  CInstrumentSession& session = run.Session();
  session.OnDownload();

  // The session waits for Stop when the instrument falls silent inside a page; so does nobody here.
  const Millis silenceLimit = env.timing.replyTimeout * 15;
  std::tuple<int, std::string, std::string> lastSeen{-1, "", ""};
  Millis lastChange = run.Scheduler().Now();
  bool silent = false;
  run.Wait([&] {
    if (run.View().ended) {
      return true;
    }
    const DownloadStatusValues values = session.Download().StatusValues();
    const std::tuple<int, std::string, std::string> now{values.progress.pagesDone, values.pageNum,
                                                        values.dataDownloaded};
    if (now != lastSeen) {
      lastSeen = now;
      lastChange = run.Scheduler().Now();
    } else if (session.Downloading() && run.Scheduler().Now() - lastChange > silenceLimit) {
      silent = true;
    }
    return silent;
  });
  if (silent || !run.View().ended) {
    if (silent) {
      env.err(Printf("ERROR: the instrument stopped sending during page %s.\n",
                     session.Download().StatusValues().pageNum.c_str()));
    } else {
      env.err("Interrupted.\n");
    }
    session.OnStopDownload();
    return kExitFailed;
  }
  switch (*run.View().ended) {
  case DownloadEnd::Complete:
    break;
  case DownloadEnd::MemoryEmpty:
    (void)session.Disconnect(); // nothing downloaded, so nothing to save
    return kExitMemoryEmpty;
  case DownloadEnd::Stalled:
    env.err("ERROR: the download cannot go on; it was stopped.\n");
    session.OnStopDownload();
    return kExitFailed;
  default:
    return kExitFailed;
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
  return kExitOk;
}

int ClearCounter(const QStringList& args, InstrumentEnv& env) {
  Options o;
  o.parser.setApplicationDescription("Clears the partial or the total rain counter of the instrument.");
  o.parser.addHelpOption();
  o.parser.addPositionalArgument("WHICH", "partial or total");
  o.parser.addOption(kPortOption);
  o.parser.addOption({"yes", "confirm clearing"});
  Parse(o, args, env);
  if (o.exit) {
    return *o.exit;
  }
  const QStringList which = o.parser.positionalArguments();
  if (which.size() != 1 || (which[0] != "partial" && which[0] != "total")) {
    env.err("clear-counter: say which counter, partial or total\n" + Std(o.parser.helpText()));
    return kExitUsage;
  }
  const bool partial = which[0] == "partial";
  const std::string question =
      partial ? "WARNING: Confirm clearing partial counter ?" : "WARNING: Confirm clearing total counter ?";
  if (!o.parser.isSet("yes")) {
    env.err(question + "\nNot confirmed: add --yes to clear the counter.\n");
    return kExitUsage;
  }
  Run run(env, o.parser.value("port"));
  run.Prompts().answers[question] = Answer::Yes;
  return run.Maintenance(
      [partial](CInstrumentSession& s) { partial ? s.OnClearPartialCounter() : s.OnClearTotalCounter(); });
}

int EraseMemory(const QStringList& args, InstrumentEnv& env) {
  Options o;
  o.parser.setApplicationDescription("Erases the instrument memory (factory PCs: Produzione.dll or Ermem.dll).");
  o.parser.addHelpOption();
  o.parser.addOption(kPortOption);
  o.parser.addOption({"yes", "confirm erasing"});
  Parse(o, args, env);
  if (o.exit) {
    return *o.exit;
  }
  const FactoryMarkers markers = FactoryMarkers::Find(env.programDirectory);
  if (!markers.production && !markers.erase) {
    env.err("ERASE MEMORY is available only with Produzione.dll or Ermem.dll in the program directory.\n");
    return kExitFailed;
  }
  if (!o.parser.isSet("yes")) {
    env.err("WARNING: Confirm erase instrument memory ?\nNot confirmed: add --yes to erase the memory.\n");
    return kExitUsage;
  }
  Run run(env, o.parser.value("port"));
  run.Prompts().answers["WARNING: Confirm erase instrument memory ?"] = Answer::Yes;
  return run.Maintenance([](CInstrumentSession& s) { s.OnEraseMemory(); });
}

int SetSerial(const QStringList& args, InstrumentEnv& env) {
  Options o;
  o.parser.setApplicationDescription("Sets the instrument's serial number (factory PCs: Produzione.dll).");
  o.parser.addHelpOption();
  o.parser.addPositionalArgument("NUMBER", "the serial number, at most 8 characters");
  o.parser.addOption(kPortOption);
  Parse(o, args, env);
  if (o.exit) {
    return *o.exit;
  }
  const QStringList number = o.parser.positionalArguments();
  if (number.size() != 1 || number[0].toLocal8Bit().size() > 8) {
    env.err("set-serial: give one serial number of at most 8 characters\n");
    return kExitUsage;
  }
  if (!FactoryMarkers::Find(env.programDirectory).production) {
    env.err("SET SERIAL NUM is available only with Produzione.dll in the program directory.\n");
    return kExitFailed;
  }
  Run run(env, o.parser.value("port"));
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
  env.progress = ::isatty(STDERR_FILENO) != 0;
  gInterrupted = 0;
  std::signal(SIGINT, OnSigInt);
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
