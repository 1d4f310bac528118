#pragma once

#include "base/prompts.h"

#include <deque>
#include <string>
#include <vector>

namespace nimbrel::test {

// Answers questions from a script and records every text shown, so a test can assert the exact
// messages and their order. An unexpected question fails the test.
class ScriptedPrompts final : public IPrompts {
public:
  struct Shown {
    std::string text;
    Icon icon = Icon::None;
    bool question = false;
  };

  void Message(const std::string& text, Icon icon) override;
  Answer Question(const std::string& text, Buttons buttons, Icon icon, Answer defaultAnswer) override;
  std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override;

  // The next question must have this text and gets this answer.
  void ExpectQuestion(std::string text, Answer answer);
  // The next file dialog gets this answer (nullopt: Cancel); the dialogs asked are kept in `files`.
  void ExpectFile(std::optional<std::filesystem::path> answer);

  std::vector<FileChoice> files;
  [[nodiscard]] std::vector<std::string> Texts() const;
  [[nodiscard]] bool AllAnswersUsed() const { return script_.empty() && fileScript_.empty(); }

  std::vector<Shown> shown;

private:
  struct Scripted {
    std::string text;
    Answer answer;
  };
  std::deque<Scripted> script_;
  std::deque<std::optional<std::filesystem::path>> fileScript_;
};

} // namespace nimbrel::test
