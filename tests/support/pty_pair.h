#pragma once

#include <string>

namespace nimbrel::test {

// A pseudo-terminal pair: the program opens the device side by its name, the test plays the
// instrument on the other side. Both descriptors are closed with the object.
class PtyPair {
public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The device path to open as the port (/dev/pts/N).
  [[nodiscard]] const std::string& DeviceName() const { return name_; }
  // Writes all bytes as the instrument would send them.
  void Send(const std::string& bytes) const;
  // The instrument goes away: the device side sees a hang-up.
  void HangUp();
  [[nodiscard]] int InstrumentFd() const { return master_; }

private:
  int master_ = -1;
  int slave_ = -1; // kept open so the instrument side never reads end-of-file early
  std::string name_;
};

} // namespace nimbrel::test
