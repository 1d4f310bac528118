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

std::string PtyPair::Receive(std::size_t count, std::chrono::milliseconds wait) const {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (got.size() < count) {
    char buf[256];
    const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
    if (n > 0) {
      got.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      break;
    }
    pollfd pfd{master_, POLLIN, 0};
    ::poll(&pfd, 1, static_cast<int>(left.count()));
  }
  return got;
}

void PtyPair::HangUp() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

} // namespace nimbrel::test
