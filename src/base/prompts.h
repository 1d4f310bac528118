#pragma once

#include <string>

namespace nimbrel {

// What the user sees and answers. The procedures never call a widget: the desktop program shows
// message boxes, nimbrel-cli prints to standard error and answers from its flags, and the tests
// answer from a script and check every text.

enum class Icon { None, Information, Warning, Error, Question, Exclamation };
enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
enum class Answer { Ok, Cancel, Yes, No };

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
};

} // namespace nimbrel
