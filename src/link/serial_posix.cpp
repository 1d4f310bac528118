// The port on a POSIX system: termios for the line, poll for the 100 ms waits, an eventfd for the
// listener's stop request. A Windows backend would sit beside this file with the same classes.
#include "link/serial.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace nimbrel {

using namespace serial_result;

namespace {

// While bytes the session has not asked for wait in the queue, poll would report them again at
// once; the listener then looks at the queue this often instead, to see whether more arrived.
constexpr int kRecheckMs = 20;

struct BaudEntry {
  std::uint32_t baud;
  speed_t speed;
};

constexpr std::array<BaudEntry, 18> kBauds{{{50, B50},
                                            {75, B75},
                                            {110, B110},
                                            {134, B134},
                                            {150, B150},
                                            {200, B200},
                                            {300, B300},
                                            {600, B600},
                                            {1200, B1200},
                                            {1800, B1800},
                                            {2400, B2400},
                                            {4800, B4800},
                                            {9600, B9600},
                                            {19200, B19200},
                                            {38400, B38400},
                                            {57600, B57600},
                                            {115200, B115200},
                                            {230400, B230400}}};

std::uint32_t Errno() {
  return static_cast<std::uint32_t>(errno);
}

int QueuedBytes(int fd) {
  int n = 0;
  if (::ioctl(fd, FIONREAD, &n) != 0) {
    return 0;
  }
  return n;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

struct CSerial::Native {
  explicit Native(int descriptor) : fd(descriptor) {}
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;
  ~Native() {
    if (fd >= 0) {
      if (exclusive) {
        // Whoever else holds the device open must not keep our exclusive claim.
        static_cast<void>(::ioctl(fd, TIOCNXCL));
      }
      ::close(fd);
    }
  }

  // Raises or drops a modem line. A pseudo-terminal has no modem lines and refuses; that is
  // not an error for the link.
  void SetLine(int bit, bool on) const {
    int bits = bit;
    static_cast<void>(::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits));
  }

  int fd;
  bool exclusive = false;
  ELineControl dtr = ELineControl::Disable;
  ELineControl rts = ELineControl::Disable;
  bool outxCtsFlow = false;
  // The framing as last configured. A pseudo-terminal rewrites data bits and parity to its own
  // and termios has no 1.5 stop bits, so the values are reported from here, not read back.
  int dataBits = 8;
  int parity = 0;
  int stopBits = 0;
  std::uint32_t eventMask = 0;
  char eventChar = 0;
  int readMode = ReadImmediate;
};

CSerial::CSerial() = default;
CSerial::~CSerial() = default;

bool CSerial::IsOpen() const {
  return native_ != nullptr;
}

std::uint32_t CSerial::Open(const std::string& device, std::uint32_t /*inQueue*/, std::uint32_t /*outQueue*/) {
  SetResult(kOk);
  if (native_) {
    return SetResult(kAlreadyInitialized);
  }
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return SetResult(Errno());
  }
  auto port = std::make_unique<Native>(fd);
  if (::isatty(fd) == 0) {
    return SetResult(ENOTTY);
  }
  // TIOCEXCL keeps other users out, but not a privileged one; the lock also catches a second
  // open from this program, whoever runs it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return SetResult(errno == EWOULDBLOCK ? static_cast<std::uint32_t>(EBUSY) : Errno());
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    return SetResult(Errno());
  }
  port->exclusive = true;
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    return SetResult(Errno());
  }
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  // With VMIN 0 an empty non-blocking read returns 0, which would look like a hang-up; with 1
  // it fails with EAGAIN and 0 means the other side is gone.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    return SetResult(Errno());
  }
  native_ = std::move(port);

  std::uint32_t code = SetEventMask(kEvRxChar | kEvBreak | kEvErr);
  if (code == kOk) {
    code = Configure(9600, 8, 0, 0);
  }
  if (code == kOk) {
    code = SetReadMode(ReadImmediate);
  }
  if (code == kOk) {
    code = SetFlowControl(FlowNone);
  }
  if (code != kOk) {
    // A port that cannot take the defaults is not left half open.
    native_.reset();
  }
  return SetResult(code);
}

std::uint32_t CSerial::Close() {
  SetResult(kOk);
  native_.reset();
  return kOk;
}

std::uint32_t CSerial::Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  termios tio{};
  if (::tcgetattr(native_->fd, &tio) != 0) {
    return SetResult(Errno());
  }
  const BaudEntry* entry = nullptr;
  for (const auto& e : kBauds) {
    if (e.baud == baud) {
      entry = &e;
    }
  }
  if (entry == nullptr || dataBits < 5 || dataBits > 8 || parity < 0 || parity > 4 || stopBits < 0 || stopBits > 2) {
    return SetResult(EINVAL);
  }
  static constexpr std::array<tcflag_t, 4> kSizes{CS5, CS6, CS7, CS8};
  ::cfsetispeed(&tio, entry->speed);
  ::cfsetospeed(&tio, entry->speed);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  tio.c_cflag |= kSizes.at(static_cast<std::size_t>(dataBits - 5));
  switch (parity) {
  case 1:
    tio.c_cflag |= PARENB | PARODD;
    break;
  case 2:
    tio.c_cflag |= PARENB;
    break;
  case 3:
    tio.c_cflag |= PARENB | PARODD | CMSPAR;
    break;
  case 4:
    tio.c_cflag |= PARENB | CMSPAR;
    break;
  default:
    break;
  }
  if (parity != 0) {
    tio.c_iflag |= INPCK;
  } else {
    tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);
  }
  if (stopBits != 0) {
    tio.c_cflag |= CSTOPB;
  }
  // RTS becomes permanently asserted, whatever flow control had made of it; on this system the
  // CTS side goes with it (CRTSCTS drives both lines).
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  if (::tcsetattr(native_->fd, TCSANOW, &tio) != 0) {
    return SetResult(Errno());
  }
  native_->dataBits = dataBits;
  native_->parity = parity;
  native_->stopBits = stopBits;
  native_->rts = ELineControl::Enable;
  native_->SetLine(TIOCM_RTS, true);
  return kOk;
}

std::uint32_t CSerial::SetEventCharacter(char character, bool adjustMask) {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  native_->eventChar = character;
  if (adjustMask) {
    native_->eventMask |= kEvRxFlag;
  }
  return kOk;
}

std::uint32_t CSerial::SetEventMask(std::uint32_t mask) {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  native_->eventMask = mask;
  return kOk;
}

std::uint32_t CSerial::WaitForEvent(int timeoutMs) {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  pollfd pfd{native_->fd, POLLIN, 0};
  int r = 0;
  do {
    r = ::poll(&pfd, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    return SetResult(Errno());
  }
  if (r == 0) {
    return SetResult(kTimeout);
  }
  std::uint32_t word = 0;
  if ((pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    word |= kEvErr;
  } else if ((pfd.revents & POLLIN) != 0) {
    word |= kEvRxChar;
  }
  eventWord_.store(word & native_->eventMask);
  return kOk;
}

std::uint32_t CSerial::SetFlowControl(int mode) {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  if (mode != FlowNone && mode != FlowHardware && mode != FlowSoftware) {
    return SetResult(kInvalidArg);
  }
  termios tio{};
  if (::tcgetattr(native_->fd, &tio) != 0) {
    return SetResult(Errno());
  }
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  if (mode == FlowHardware) {
    tio.c_cflag |= CRTSCTS;
  } else if (mode == FlowSoftware) {
    tio.c_iflag |= IXON | IXOFF;
  }
  if (::tcsetattr(native_->fd, TCSANOW, &tio) != 0) {
    return SetResult(Errno());
  }
  const bool hardware = mode == FlowHardware;
  native_->outxCtsFlow = hardware;
  native_->dtr = hardware ? ELineControl::Handshake : ELineControl::Disable;
  native_->rts = hardware ? ELineControl::Handshake : ELineControl::Disable;
  // DTR handshake has no termios form: the line is simply raised while the port is ready.
  native_->SetLine(TIOCM_DTR, hardware);
  if (!hardware) {
    native_->SetLine(TIOCM_RTS, false);
  }
  return kOk;
}

std::uint32_t CSerial::SetReadMode(int mode) {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  if (mode != ReadImmediate && mode != ReadWaiting) {
    return SetResult(kInvalidArg);
  }
  native_->readMode = mode;
  return kOk;
}

int CSerial::GetBaudRate() {
  SetResult(kOk);
  if (!native_) {
    SetResult(kInvalidHandle);
    return -1;
  }
  termios tio{};
  if (::tcgetattr(native_->fd, &tio) != 0) {
    SetResult(Errno());
    return -1;
  }
  const speed_t speed = ::cfgetospeed(&tio);
  for (const auto& e : kBauds) {
    if (e.speed == speed) {
      return static_cast<int>(e.baud);
    }
  }
  return -1;
}

int CSerial::GetDataBits() {
  SetResult(kOk);
  if (!native_) {
    SetResult(kInvalidHandle);
    return -1;
  }
  return native_->dataBits;
}

int CSerial::GetParity() {
  SetResult(kOk);
  if (!native_) {
    SetResult(kInvalidHandle);
    return -1;
  }
  return native_->parity;
}

int CSerial::GetStopBits() {
  SetResult(kOk);
  if (!native_) {
    SetResult(kInvalidHandle);
    return -1;
  }
  return native_->stopBits;
}

int CSerial::GetFlowControl() {
  SetResult(kOk);
  termios tio{};
  if (!native_) {
    SetResult(kInvalidHandle);
    return -1;
  }
  if (::tcgetattr(native_->fd, &tio) != 0) {
    SetResult(Errno());
    return -1;
  }
  if (native_->dtr == ELineControl::Handshake && native_->rts == ELineControl::Handshake) {
    return FlowHardware;
  }
  if ((tio.c_iflag & IXON) != 0 && (tio.c_iflag & IXOFF) != 0) {
    return FlowSoftware;
  }
  return FlowNone;
}

std::uint32_t CSerial::GetEventMask() {
  SetResult(kOk);
  if (!native_) {
    SetResult(kInvalidHandle);
    return 0;
  }
  return native_->eventMask;
}

char CSerial::GetEventCharacter() {
  SetResult(kOk);
  if (!native_) {
    SetResult(kInvalidHandle);
    return 0;
  }
  return native_->eventChar;
}

std::uint32_t CSerial::WriteString(const std::string& text, std::size_t* written) {
  return Write(text.data(), text.size(), written);
}

std::uint32_t CSerial::WriteByte(std::uint8_t byte, std::size_t* written) {
  return Write(&byte, 1, written);
}

std::uint32_t CSerial::Write(const void* data, std::size_t length, std::size_t* written) {
  SetResult(kOk);
  if (written != nullptr) {
    *written = 0;
  }
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  const auto* bytes = static_cast<const char*>(data);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoWaitMs);
  std::size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::write(native_->fd, bytes + sent, length - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      if (written != nullptr) {
        *written = sent;
      }
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      return SetResult(Errno());
    }
    const int wait = RemainingMs(deadline);
    if (wait == 0) {
      return SetResult(kTimeout);
    }
    pollfd pfd{native_->fd, POLLOUT, 0};
    static_cast<void>(::poll(&pfd, 1, wait));
  }
  return kOk;
}

std::uint32_t CSerial::Read(void* buffer, std::size_t length, std::size_t* read) {
  SetResult(kOk);
  if (read != nullptr) {
    *read = 0;
  }
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  queueGeneration_.fetch_add(1);
  auto* bytes = static_cast<char*>(buffer);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoWaitMs);
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::read(native_->fd, bytes + got, length - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      if (read != nullptr) {
        *read = got;
      }
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n == 0) {
      // End of input on a non-blocking terminal: the other side hung up.
      return SetResult(EIO);
    }
    if (errno != EAGAIN) {
      return SetResult(Errno());
    }
    if (native_->readMode == ReadImmediate) {
      break;
    }
    const int wait = RemainingMs(deadline);
    if (wait == 0) {
      return SetResult(kTimeout);
    }
    pollfd pfd{native_->fd, POLLIN, 0};
    static_cast<void>(::poll(&pfd, 1, wait));
  }
  return kOk;
}

std::uint32_t CSerial::Purge() {
  SetResult(kOk);
  if (!native_) {
    return SetResult(kInvalidHandle);
  }
  queueGeneration_.fetch_add(1);
  if (::tcflush(native_->fd, TCIOFLUSH) != 0) {
    return SetResult(Errno());
  }
  return kOk;
}

std::uint32_t CSerial::TakeEventWord() {
  return eventWord_.exchange(0xFFFFFFFFU);
}

// ---- the listener -------------------------------------------------------------------------

struct CSerialWnd::Stop {
  Stop() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  Stop(const Stop&) = delete;
  Stop& operator=(const Stop&) = delete;
  ~Stop() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  void Signal() const {
    const std::uint64_t one = 1;
    static_cast<void>(::write(fd, &one, sizeof one));
  }
  int fd;
};

CSerialWnd::CSerialWnd() = default;

CSerialWnd::~CSerialWnd() {
  CSerialWnd::Close();
}

std::uint32_t CSerialWnd::Open(const std::string& device, LinkEventSink sink, std::uint32_t inQueue,
                               std::uint32_t outQueue) {
  SetResult(kOk);
  if (IsOpen()) {
    return SetResult(kAlreadyInitialized);
  }
  const std::uint32_t code = CSerial::Open(device, inQueue, outQueue);
  if (code != kOk) {
    return code;
  }
  auto stop = std::make_unique<Stop>();
  if (stop->fd < 0) {
    const std::uint32_t err = Errno();
    CSerial::Close();
    return SetResult(err);
  }
  stop_ = std::move(stop);
  sink_ = std::move(sink);
  assembler_.Clear();
  try {
    listener_ = std::thread([this] { ListenerThread(); });
  } catch (const std::system_error& e) {
    stop_.reset();
    sink_ = nullptr;
    CSerial::Close();
    return SetResult(static_cast<std::uint32_t>(e.code().value()));
  }
  return kOk;
}

std::uint32_t CSerialWnd::Close() {
  if (listener_.joinable()) {
    stop_->Signal();
    listener_.join();
  }
  stop_.reset();
  sink_ = nullptr;
  return CSerial::Close();
}

void CSerialWnd::ListenerThread() {
  const int fd = NativePort()->fd;
  const int stopFd = stop_->fd;
  const LinkEventSink handOver = [this](LinkEvent e) { HandOver(std::move(e)); };

  // Reads one byte at a time while the session lets it, so that bytes after a handed-over
  // reply stay in the driver queue. True when the other side went away.
  const auto consume = [&]() -> bool {
    while (shared_.ReceiveEnabled.load()) {
      char c = 0;
      const ssize_t n = ::read(fd, &c, 1);
      if (n == 1) {
        assembler_.Feed(c, shared_, handOver);
        continue;
      }
      if (n < 0 && errno == EINTR) {
        continue;
      }
      return !(n < 0 && errno == EAGAIN);
    }
    return false;
  };

  bool hungUp = false;
  int left = 0; // bytes left in the queue after the last look; only new arrivals wake us
  std::uint64_t generation = QueueGeneration();
  for (;;) {
    std::array<pollfd, 2> fds{{{stopFd, POLLIN, 0}, {fd, static_cast<short>(left == 0 ? POLLIN : 0), 0}}};
    const nfds_t count = hungUp ? 1 : 2;
    const int timeout = (!hungUp && left > 0) ? kRecheckMs : -1;
    wakeups_.fetch_add(1);
    const int r = ::poll(fds.data(), count, timeout);
    if (r < 0) {
      if (errno == EINTR) {
        continue;
      }
      SetResult(Errno());
      return;
    }
    if (fds[0].revents != 0) {
      return;
    }
    if (hungUp) {
      continue;
    }
    bool gone = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    bool arrived = (fds[1].revents & POLLIN) != 0;
    if (r == 0) {
      const std::uint64_t g = QueueGeneration();
      const int queued = QueuedBytes(fd);
      arrived = queued > left || (g != generation && queued > 0);
      if (!arrived) {
        left = queued;
        generation = g;
        continue;
      }
    }
    if (gone || arrived) {
      TakeEventWord();
      if (consume()) {
        gone = true;
      }
    }
    if (gone) {
      // Reported once, with whatever partial line had come in; then only the stop request counts.
      HandOver(LinkEvent{LinkEvent::Kind::HangUp, assembler_.Buffer(), static_cast<std::uint32_t>(EIO)});
      assembler_.Clear();
      hungUp = true;
      continue;
    }
    generation = QueueGeneration();
    left = QueuedBytes(fd);
  }
}

} // namespace nimbrel
