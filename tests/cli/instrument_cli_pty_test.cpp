#include "cli/commands.h"
#include "cli/instrument_commands.h"
#include "link/serial_session_port.h"
#include "sim/pty_server.h"
#include "support/temp_dir.h"
#include "support/test_app.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>

namespace nimbrel::test {
namespace {

// The product's path: the real port and its listener thread, the queued hand-over, Qt timers
// and the event loop, with the timing scaled down.
TEST(CliOverPty, DownloadsThroughTheRealPortAndEventLoop) {
  TestApp();
  sim::GeneratorOptions g;
  g.days = 2;
  const sim::InstrumentState state = sim::MakeInstrumentState(g);
  const std::optional<std::string> expected = sim::Instrument(state).ExpectedDump(false);
  sim::PtyServer instrument{sim::Instrument(state)};
  std::string error;
  ASSERT_TRUE(instrument.Start(&error)) << error;
  TempDir dir;
  cli::InstrumentEnv env;
  env.programDirectory = dir.Path();
  env.makePort = [](const std::filesystem::path& d) { return std::make_unique<CSerialSessionPort>(d); };
  env.timing = SessionTiming{}.Scaled(10);
  std::string out, err;
  env.out = [&out](const std::string& s) { out += s; };
  env.err = [&err](const std::string& s) { err += s; };
  const std::string copy = (dir / "copy.rlg").string();
  const QStringList args{"nimbrel-cli download", "--port",   QString::fromStdString(instrument.SlavePath()),
                         "--clear-memory",       "--output", QString::fromStdString(copy)};
  ASSERT_EQ(cli::RunInstrumentCommand("download", args, env), cli::kExitOk) << err;
  // Every page came through the real port into the file the download writes.
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(ReadFileBytes(copy), *expected);
  EXPECT_EQ(ReadFileBytes(dir / "DumpFile.rlg"), *expected);
  EXPECT_NE(err.find("Clear memory successfull.\n"), std::string::npos);
}

} // namespace
} // namespace nimbrel::test
