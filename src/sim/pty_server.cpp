#include "sim/pty_server.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
}

PtyServer::PtyServer(Instrument instrument) : instrument_(std::move(instrument)) {}

PtyServer::~PtyServer() {
  Stop();
}

bool PtyServer::Start(std::string* error) {
  auto fail = [error](const std::string& what) {
    if (error != nullptr) {
      *error = what + ": " + std::strerror(errno);
    }
    return false;
  };
  if (thread_.joinable()) {
    return true;
  }
  int master = -1;
  int slave = -1;
  std::array<char, 256> name{};
  if (::openpty(&master, &slave, name.data(), nullptr, nullptr) != 0) {
    return fail("openpty");
  }
  master_.Reset(master);
  slave_.Reset(slave);
  slavePath_ = name.data();
  // Raw line: no echo, CR stays CR, LF is not expanded. The server keeps its slave descriptor open
  // so that the line survives a client closing and reopening it.
  termios tio{};
  if (::tcgetattr(slave, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
  }
  const int flags = ::fcntl(master, F_GETFL);
  if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
    return fail("fcntl");
  }
  stop_.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (stop_.Get() < 0) {
    return fail("eventfd");
  }
  started_ = std::chrono::steady_clock::now();
  hungUp_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PtyServer::Stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    if (::write(stop_.Get(), &one, sizeof one) < 0) {
      std::perror("tbr4470-sim: stop request");
    }
    thread_.join();
  }
  master_.Reset();
  slave_.Reset();
  stop_.Reset();
  if (!linkPath_.empty()) {
    std::error_code ec;
    std::filesystem::remove(linkPath_, ec);
    linkPath_.clear();
  }
}

bool PtyServer::LinkAs(const std::string& path, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error != nullptr) {
      *error = why;
    }
    return false;
  };
  if (slavePath_.empty()) {
    return fail("the pseudo-terminal is not open");
  }
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(path, ec);
  if (std::filesystem::exists(status)) {
    if (!std::filesystem::is_symlink(status)) {
      return fail(path + " exists and is not a symbolic link; not replaced");
    }
    std::filesystem::remove(path, ec);
  }
  std::filesystem::create_symlink(slavePath_, path, ec);
  if (ec) {
    return fail("cannot create link " + path + ": " + ec.message());
  }
  linkPath_ = path;
  return true;
}

bool PtyServer::WaitHangUp(std::chrono::milliseconds timeout) const {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!hungUp_.load()) {
    if (std::chrono::steady_clock::now() >= until) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<ReceivedCommand> PtyServer::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

bool PtyServer::SetLogFile(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.open(path, std::ios::binary | std::ios::trunc);
  if (!log_) {
    if (error != nullptr) {
      *error = "cannot write " + path;
    }
    return false;
  }
  return true;
}

void PtyServer::SetFaults(Faults faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  instrument_.SetFaults(std::move(faults));
}

bool PtyServer::WaitStop(int timeoutMs) const {
  pollfd pfd{stop_.Get(), POLLIN, 0};
  return ::poll(&pfd, 1, timeoutMs) > 0;
}

bool PtyServer::WritePieces(const Output& out) {
  for (const auto& piece : out.pieces) {
    // Pauses of a millisecond or more wait on the stop request; shorter ones are slept.
    if (piece.delayUs >= 1000) {
      if (WaitStop(piece.delayUs / 1000)) {
        return false;
      }
    } else if (piece.delayUs > 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(piece.delayUs));
    }
    std::size_t done = 0;
    while (done < piece.bytes.size()) {
      const ssize_t n = ::write(master_.Get(), piece.bytes.data() + done, piece.bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return false;
      }
      std::array<pollfd, 2> pfds{pollfd{master_.Get(), POLLOUT, 0}, pollfd{stop_.Get(), POLLIN, 0}};
      if (::poll(pfds.data(), pfds.size(), -1) < 0 && errno != EINTR) {
        return false;
      }
      if ((pfds[1].revents & POLLIN) != 0) {
        return false;
      }
    }
  }
  return true;
}

void PtyServer::Run() {
  std::array<char, 512> buf{};
  for (;;) {
    std::array<pollfd, 2> pfds{pollfd{master_.Get(), POLLIN, 0}, pollfd{stop_.Get(), POLLIN, 0}};
    if (::poll(pfds.data(), pfds.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    if ((pfds[1].revents & POLLIN) != 0) {
      return;
    }
    if ((pfds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
      continue;
    }
    const ssize_t n = ::read(master_.Get(), buf.data(), buf.size());
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        continue;
      }
      // No client on the line right now (EIO): wait a little and listen again.
      if (WaitStop(20)) {
        return;
      }
      continue;
    }
    // The program claims the port for its exclusive use. A serial device forgets that claim when the
    // program closes it; a pseudo-terminal kept alive by its master does not, and a later connection
    // would fail with EBUSY. Lifting the claim whenever the program talks keeps reconnection working.
    ::ioctl(slave_.Get(), TIOCNXCL);
    Output out;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
      for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        const char c = buf.at(i);
        if (c == '\r') {
          received_.push_back({now, partialCommand_});
          if (log_.is_open()) {
            std::array<char, 32> stamp{};
            std::snprintf(stamp.data(), stamp.size(), "%.6f ", now);
            log_ << stamp.data() << partialCommand_ << '\n' << std::flush;
          }
          partialCommand_.clear();
        } else if (c != '\n' && partialCommand_.size() < 256) {
          partialCommand_ += c;
        }
      }
      out = instrument_.Receive(std::string(buf.data(), static_cast<std::size_t>(n)));
    }
    if (!WritePieces(out)) {
      return;
    }
    if (out.hangUp) {
      // Let the last bytes reach the other side before the line goes dead: the terminal's input
      // queue must stay empty for a while, since bytes still on their way through the kernel do not
      // show in it yet (at most 3 s).
      int quiet = 0;
      for (int waited = 0; waited < 3000 && quiet < 5; waited += 20) {
        int pending = 0;
        if (::ioctl(slave_.Get(), FIONREAD, &pending) != 0 || WaitStop(20)) {
          break;
        }
        quiet = pending == 0 ? quiet + 1 : 0;
      }
      master_.Reset();
      slave_.Reset();
      hungUp_ = true;
      return;
    }
  }
}

} // namespace sim
