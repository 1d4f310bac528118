#include "protocol/trace.h"

#include "base/text.h"

namespace nimbrel {

void CTrace::Append(const std::string& line) const {
  (void)WriteTextMode(path_, line);
}

void CTrace::Restart(const std::string& firstLine) const {
  (void)WriteTextMode(path_, firstLine, true);
}

} // namespace nimbrel
