#include "cli/command_line.h"

namespace nimbrel::cli {

CCommandLine::CCommandLine(std::string command, const std::string& description, std::string positional,
                           int maxPositional)
    : command_(std::move(command)), positional_(std::move(positional)), maxPositional_(maxPositional) {
  parser_.setApplicationDescription(QString::fromStdString(description));
  parser_.addOption({{"h", "help"}, "show this help and do nothing else"});
}

std::string CCommandLine::HelpText() const {
  // Qt's own usage line names the binary's path; ours names the command as the user types it.
  std::string text = parser_.helpText().toLocal8Bit().toStdString();
  const auto firstLineEnd = text.find('\n');
  return "Usage: nimbrel-cli " + command_ + " [options]" + (positional_.empty() ? "" : " " + positional_) +
         (firstLineEnd == std::string::npos ? "\n" : text.substr(firstLineEnd));
}

std::optional<int> CCommandLine::Parse(const QStringList& args, const std::function<void(const std::string&)>& out,
                                       const std::function<void(const std::string&)>& err) {
  if (!parser_.parse(args)) {
    err("nimbrel-cli " + command_ + ": " + parser_.errorText().toLocal8Bit().toStdString() + "\n" + "'nimbrel-cli " +
        command_ + " --help' lists the options.\n");
    return 2;
  }
  if (parser_.isSet("help")) {
    out(HelpText());
    return 0;
  }
  if (parser_.positionalArguments().size() > maxPositional_) {
    err("nimbrel-cli " + command_ + ": unexpected argument '" +
        parser_.positionalArguments().value(maxPositional_).toLocal8Bit().toStdString() + "'\n'nimbrel-cli " +
        command_ + " --help' lists the options.\n");
    return 2;
  }
  return std::nullopt;
}

} // namespace nimbrel::cli
