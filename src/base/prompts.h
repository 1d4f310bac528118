#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace nimbrel {

// What the user sees and answers. The procedures never call a widget: the desktop program shows
// message boxes, nimbrel-cli prints to standard error and answers from its flags, and the tests
// answer from a script and check every text.

enum class Icon { None, Information, Warning, Error, Question, Exclamation };
enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
enum class Answer { Ok, Cancel, Yes, No };

// A standard file dialog: what it shows and proposes. Save dialogs ask before replacing a file.
struct FileChoice {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  std::string filter;          // "Nimbrel files (*.rlg)|*.rlg||": description and pattern pairs
  std::string defaultName;     // proposed file name ("Nimbrel.rlg")
  std::string defaultSuffix;   // added when the user types a name without one ("rlg")
  std::filesystem::path start; // the folder it opens in; empty: the platform's choice
};

class IPrompts {
public:
  IPrompts() = default;
  IPrompts(const IPrompts&) = delete;
  IPrompts& operator=(const IPrompts&) = delete;
  virtual ~IPrompts() = default;

  // A modal message box with a fixed text.
  virtual void Message(const std::string& text, Icon icon) = 0;

  // A modal question; returns the button the user chose.
  virtual Answer Question(const std::string& text, Buttons buttons, Icon icon, Answer defaultAnswer) = 0;

  // A standard file dialog; nullopt when the user cancels it. Front ends without a user to ask
  // (nimbrel-cli) take their file names from arguments instead and keep this default.
  virtual std::optional<std::filesystem::path> ChooseFile(const FileChoice& /*choice*/) { return std::nullopt; }
};

} // namespace nimbrel
