#pragma once

#include <string>

namespace nimbrel {

// The instrument's thirty commands; the value is the command number sent in traces and messages.
enum CommandId : int {
  GET_INSTR_TYPE = 0,
  GET_SERIAL_NUM = 1,
  SET_SERIAL_NUM = 2,
  GET_FW_VERSION = 3,
  GET_FW_DATE = 4,
  SET_DATE_TIME = 5,
  GET_DATE_TIME = 6,
  ERASE_MEM_1 = 7,
  ERASE_MEM_2 = 8,
  GET_FLAGS = 9,
  GET_READ_MEM_POINTER_R = 10,
  GET_WRITE_MEM_POINTER_R = 11,
  GET_HIST_MEM_POINTER_R = 12,
  DUMP_PAGE_R = 13,
  GET_TIP_VALUE = 14,
  SET_TIP_VALUE = 15,
  SET_MEM_POINTER_R = 16,
  GET_UNIT = 17,
  SET_UNIT = 18,
  CLEAR_PARTIAL_COUNTER = 19,
  CLEAR_TOTAL_COUNTER = 20,
  GET_CONTACT_TYPE = 21,
  SET_CONTACT_TYPE = 22,
  GET_ALERT_MODE = 23,
  SET_ALERT_MODE = 24,
  GET_READ_MEM_POINTER_T = 25,
  GET_WRITE_MEM_POINTER_T = 26,
  GET_HIST_MEM_POINTER_T = 27,
  SET_MEM_POINTER_T = 28,
  DUMP_PAGE_T = 29,
};

inline constexpr int kCommandCount = 30;

// Texts written to the port directly by the connection, outside the queue.
inline constexpr const char* kProbeText = "AA\r";
inline constexpr const char* GET_BATTERY = "RZ\r";

// One instrument command: its number, the complete text to send (CR included), its parameter and
// the time to wait for its reply.
class CCommand {
public:
  CCommand(int number, std::string parameter);
  virtual ~CCommand() = default;
  CCommand(const CCommand&) = default;
  CCommand& operator=(const CCommand&) = default;

  [[nodiscard]] int GetCommandNumber() const { return number_; }
  // The text to send, or "-1" when the number is outside the table.
  [[nodiscard]] std::string GetCommandString() const { return text_.empty() ? std::string("-1") : text_; }
  [[nodiscard]] const std::string& GetParameter() const { return parameter_; }
  [[nodiscard]] int GetTimeout() const { return timeout_; }
  // Only commands of the table can be queued.
  [[nodiscard]] bool IsValid() const { return valid_ != 0; }

private:
  int valid_ = 1;
  int number_ = -1;
  std::string text_;
  std::string parameter_;
  int timeout_ = 0;
};

// The identifier of a command number ("DUMP_PAGE_R"), "?" outside the table.
const char* CommandName(int number);

} // namespace nimbrel
