#include "support/pty_pair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace nimbrel::test {

PtyPair::PtyPair() {
  termios raw{};
  ::cfmakeraw(&raw);
  if (::openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0) {
    throw std::runtime_error("cannot open a pseudo-terminal");
  }
  name_ = ::ttyname(slave_);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  HangUp();
  if (slave_ >= 0) {
    ::close(slave_);
  }
}

void PtyPair::Send(const std::string& bytes) const {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd pfd{master_, POLLOUT, 0};
      ::poll(&pfd, 1, 100);
    } else if (!(n < 0 && errno == EINTR)) {
      throw std::runtime_error("cannot write to the pseudo-terminal");
    }
  }
}

void PtyPair::HangUp() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

} // namespace nimbrel::test
