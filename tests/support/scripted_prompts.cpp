#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace nimbrel::test {

void ScriptedPrompts::Message(const std::string& text, Icon icon) {
  shown.push_back({text, icon, false});
}

Answer ScriptedPrompts::Question(const std::string& text, Buttons /*buttons*/, Icon icon, Answer defaultAnswer) {
  shown.push_back({text, icon, true});
  if (script_.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return defaultAnswer;
  }
  Scripted next = script_.front();
  script_.pop_front();
  EXPECT_EQ(next.text, text);
  return next.answer;
}

std::optional<std::filesystem::path> ScriptedPrompts::ChooseFile(const FileChoice& choice) {
  files.push_back(choice);
  if (fileScript_.empty()) {
    ADD_FAILURE() << "unexpected file dialog: " << choice.filter;
    return std::nullopt;
  }
  auto next = fileScript_.front();
  fileScript_.pop_front();
  return next;
}

void ScriptedPrompts::ExpectFile(std::optional<std::filesystem::path> answer) {
  fileScript_.push_back(std::move(answer));
}

void ScriptedPrompts::ExpectQuestion(std::string text, Answer answer) {
  script_.push_back({std::move(text), answer});
}

std::vector<std::string> ScriptedPrompts::Texts() const {
  std::vector<std::string> out;
  out.reserve(shown.size());
  for (const auto& s : shown) {
    out.push_back(s.text);
  }
  return out;
}

} // namespace nimbrel::test
