#pragma once

#include "link/link_event.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class QObject;

namespace nimbrel {

// Result codes of the port operations (anything else is the system's errno).
namespace serial_result {
inline constexpr std::uint32_t kOk = 0;
inline constexpr std::uint32_t kInvalidHandle = 6;         // the port is not open
inline constexpr std::uint32_t kAlreadyInitialized = 1247; // Open on an open port
inline constexpr std::uint32_t kTimeout = 1460;            // the 100 ms wait of a read or write ran out
inline constexpr std::uint32_t kInvalidArg = 0x80070057;   // unknown mode value
} // namespace serial_result

// Event mask bits, kept as values for callers that set or query them.
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvRxFlag = 0x0002;
inline constexpr std::uint32_t kEvBreak = 0x0040;
inline constexpr std::uint32_t kEvErr = 0x0080;

// The serial port itself: line settings, flow control, read modes, purge and reads and writes
// that wait at most 100 ms. Every operation first clears the last error, then stores its own
// result there and returns it. The system-specific half lives in serial_<platform>.cpp.
class CSerial {
public:
  enum EFlowControl { FlowNone = 0, FlowHardware = 1, FlowSoftware = 2 };
  enum EReadMode { ReadImmediate = 0, ReadWaiting = 1 };
  // What the DTR and RTS lines do; kept because a termios port cannot report it.
  enum class ELineControl { Disable, Enable, Handshake };

  static constexpr int kIoWaitMs = 100;

  CSerial();
  CSerial(const CSerial&) = delete;
  CSerial& operator=(const CSerial&) = delete;
  virtual ~CSerial();

  // Opens the device exclusively and applies the defaults: event mask 0xC1, 9600 8N1,
  // ReadImmediate, FlowNone. The queue sizes are accepted; a termios port sizes its own queues.
  virtual std::uint32_t Open(const std::string& device, std::uint32_t inQueue = 0, std::uint32_t outQueue = 0);
  virtual std::uint32_t Close();
  virtual std::uint32_t Configure(std::uint32_t baud, int dataBits, int parity, int stopBits);
  virtual std::uint32_t SetEventCharacter(char character, bool adjustMask = true);
  virtual std::uint32_t SetEventMask(std::uint32_t mask);
  // Waits up to `timeoutMs` for received data or a line error; the event word tells which.
  virtual std::uint32_t WaitForEvent(int timeoutMs);
  virtual std::uint32_t SetFlowControl(int mode);
  virtual std::uint32_t SetReadMode(int mode);
  virtual int GetBaudRate();
  virtual int GetDataBits();
  virtual int GetParity();
  virtual int GetStopBits();
  virtual int GetFlowControl();
  virtual std::uint32_t GetEventMask();
  virtual char GetEventCharacter();
  virtual std::uint32_t WriteString(const std::string& text, std::size_t* written = nullptr);
  virtual std::uint32_t Write(const void* data, std::size_t length, std::size_t* written = nullptr);
  virtual std::uint32_t WriteByte(std::uint8_t byte, std::size_t* written = nullptr);
  // ReadImmediate: what has arrived, at once. ReadWaiting: `length` bytes within 100 ms, else
  // 1460 with what did arrive.
  virtual std::uint32_t Read(void* buffer, std::size_t length, std::size_t* read = nullptr);

  // Drops what waits in both directions.
  std::uint32_t Purge();
  // The event word of the last wait; reading it resets it to all bits.
  std::uint32_t TakeEventWord();

  [[nodiscard]] bool IsOpen() const;
  [[nodiscard]] std::uint32_t LastError() const { return lastError_.load(); }

protected:
  struct Native; // the system's port handle and the values it cannot report back
  std::uint32_t SetResult(std::uint32_t code) {
    lastError_.store(code);
    return code;
  }
  [[nodiscard]] Native* NativePort() const { return native_.get(); }
  // Counts purges and direct reads, so the listener knows the queue it left behind has changed.
  [[nodiscard]] std::uint64_t QueueGeneration() const { return queueGeneration_.load(); }

private:
  std::unique_ptr<Native> native_;
  std::atomic<std::uint32_t> lastError_{0};
  std::atomic<std::uint32_t> eventWord_{0xFFFFFFFFU};
  std::atomic<std::uint64_t> queueGeneration_{0};
};

// Adds the listener thread: it reads the port while CLinkShared::ReceiveEnabled is set, cuts the
// bytes into lines and hands each to the sink, on its own thread.
class CSerialWnd : public CSerial {
public:
  CSerialWnd();
  CSerialWnd(const CSerialWnd&) = delete;
  CSerialWnd& operator=(const CSerialWnd&) = delete;
  ~CSerialWnd() override;

  using CSerial::Open;
  // Opens the port and starts the listener; an empty sink drops the events.
  virtual std::uint32_t Open(const std::string& device, LinkEventSink sink, std::uint32_t inQueue,
                             std::uint32_t outQueue);
  // Stops the listener (no event is handed over after this returns), then closes the port.
  std::uint32_t Close() override;

  [[nodiscard]] CLinkShared& Shared() { return shared_; }
  // Times the listener went to wait for the port, for checking that it idles instead of spinning
  // and for knowing that it has dealt with what came before.
  [[nodiscard]] std::uint64_t ListenerWakeups() const { return wakeups_.load(); }

protected:
  virtual void ListenerThread();

private:
  struct Stop; // the stop request the listener waits on beside the port
  void HandOver(LinkEvent event);

  CLinkShared shared_;
  LinkEventSink sink_;
  CLineAssembler assembler_;
  std::unique_ptr<Stop> stop_;
  std::thread listener_;
  std::atomic<std::uint64_t> wakeups_{0};
};

// Accepts a QObject as the target: each event reaches `handler` on that object's thread, in
// arrival order.
class CSerialMFC : public CSerialWnd {
public:
  CSerialMFC() = default;
  CSerialMFC(const CSerialMFC&) = delete;
  CSerialMFC& operator=(const CSerialMFC&) = delete;
  ~CSerialMFC() override;

  using CSerialWnd::Open;
  // Without a target the events are dropped.
  virtual std::uint32_t Open(const std::string& device, QObject* target, std::function<void(LinkEvent)> handler,
                             std::uint32_t inQueue, std::uint32_t outQueue);
};

} // namespace nimbrel
