#include "protocol/command.h"

#include "protocol/timing.h"

#include <array>

namespace nimbrel {

namespace {

struct Row {
  const char* name;
  const char* prefix; // the two characters before the parameter
  bool takesParameter;
};

// clang-format off
constexpr std::array<Row, kCommandCount> kTable{{
    {"GET_INSTR_TYPE", "AA", false},          {"GET_SERIAL_NUM", "AS", false},
    {"SET_SERIAL_NUM", "DS", true},           {"GET_FW_VERSION", "AG", false},
    {"GET_FW_DATE", "AH", false},             {"SET_DATE_TIME", "DA", true},
    {"GET_DATE_TIME", "FA", false},           {"ERASE_MEM_1", "K5", false},
    {"ERASE_MEM_2", "K6", false},             {"GET_FLAGS", "RQ", false},
    {"GET_READ_MEM_POINTER_R", "RN", false},  {"GET_WRITE_MEM_POINTER_R", "RM", false},
    {"GET_HIST_MEM_POINTER_R", "RS", false},  {"DUMP_PAGE_R", "KR", true},
    {"GET_TIP_VALUE", "RA", false},           {"SET_TIP_VALUE", "WA", true},
    {"SET_MEM_POINTER_R", "WN", true},        {"GET_UNIT", "RB", false},
    {"SET_UNIT", "WB", true},                 {"CLEAR_PARTIAL_COUNTER", "K0", false},
    {"CLEAR_TOTAL_COUNTER", "K1", false},     {"GET_CONTACT_TYPE", "RC", false},
    {"SET_CONTACT_TYPE", "WC", true},         {"GET_ALERT_MODE", "RD", false},
    {"SET_ALERT_MODE", "WD", true},           {"GET_READ_MEM_POINTER_T", "RU", false},
    {"GET_WRITE_MEM_POINTER_T", "RT", false}, {"GET_HIST_MEM_POINTER_T", "RW", false},
    {"SET_MEM_POINTER_T", "WW", true},        {"DUMP_PAGE_T", "KS", true},
}};
// clang-format on

bool InTable(int number) {
  return number >= 0 && number < kCommandCount;
}

} // namespace

CCommand::CCommand(int number, std::string parameter) : number_(number), parameter_(std::move(parameter)) {
  if (!InTable(number)) {
    valid_ = 0;
    return;
  }
  const Row& row = kTable[static_cast<std::size_t>(number)];
  text_ = row.prefix;
  if (row.takesParameter) {
    text_ += parameter_;
  }
  text_ += '\r';
  timeout_ = static_cast<int>((number == ERASE_MEM_2 ? kEraseTimeout : kReplyTimeout).count());
}

const char* CommandName(int number) {
  return InTable(number) ? kTable[static_cast<std::size_t>(number)].name : "?";
}

} // namespace nimbrel
