#pragma once

#include "base/prompts.h"

#include <QStringList>

class QWidget;

namespace nimbrel {

class CGate;

// The file dialog's name filters of a "description|pattern|...||" filter: each pattern list is
// written the way Qt reads it ("*.rlg;" becomes "*.rlg"), the description keeps its words.
QStringList QtNameFilters(const std::string& filter);

// Message boxes and file dialogs of the desktop program, titled "Nimbrel", each run with the
// session's gate closed.
class CQtPrompts final : public IPrompts {
public:
  CQtPrompts(QWidget* parent, CGate* gate) : parent_(parent), gate_(gate) {}

  void Message(const std::string& text, Icon icon) override;
  Answer Question(const std::string& text, Buttons buttons, Icon icon, Answer defaultAnswer) override;
  std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override;

private:
  QWidget* parent_;
  CGate* gate_;
};

} // namespace nimbrel
