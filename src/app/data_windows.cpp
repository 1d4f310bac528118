#include "app/data_windows.h"

namespace nimbrel {

void ReportNoFreeDataWindowSlot(IPrompts& prompts) {
  prompts.Message(kTooManyWindowsText, Icon::None);
}

} // namespace nimbrel
