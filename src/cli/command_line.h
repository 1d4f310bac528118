#pragma once

#include <QCommandLineParser>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

namespace nimbrel::cli {

// The arguments of one nimbrel-cli command. Only -h/--help shows help (Qt's --help-all, which a
// command would otherwise take for an unknown option and ignore, is not offered), the usage line
// reads "nimbrel-cli COMMAND", and arguments beyond those the command takes are refused.
class CCommandLine {
public:
  // `positional`: the positional arguments in the usage line ("FILE"), and at most how many.
  CCommandLine(std::string command, const std::string& description, std::string positional = {}, int maxPositional = 0);

  QCommandLineParser& Parser() { return parser_; }
  // Parses `args` (the first is the command's own name). Returns an exit code when the arguments
  // already decided the outcome: 0 after help on `out`, 2 after an error on `err`.
  std::optional<int> Parse(const QStringList& args, const std::function<void(const std::string&)>& out,
                           const std::function<void(const std::string&)>& err);
  [[nodiscard]] std::string HelpText() const;
  [[nodiscard]] bool IsSet(const QString& name) const { return parser_.isSet(name); }
  [[nodiscard]] QString Value(const QString& name) const { return parser_.value(name); }
  [[nodiscard]] QStringList Positional() const { return parser_.positionalArguments(); }

private:
  std::string command_;
  std::string positional_;
  int maxPositional_;
  QCommandLineParser parser_;
};

} // namespace nimbrel::cli
