#include "protocol/instr_status.h"

#include "base/text.h"
#include "protocol/command.h"
#include "protocol/trace.h"

#include <cctype>
#include <chrono>

namespace nimbrel {

InstrDateTime MakeInstrDateTime(int year, int month, int day, int hour, int minute, int second) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                            std::chrono::day(static_cast<unsigned>(day))};
  if (month < 1 || month > 12 || day < 1 || day > 31 || !date.ok() || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59) {
    return {0.0, false};
  }
  const auto epoch = sys_days(std::chrono::year(1899) / December / 30);
  const double wholeDays = static_cast<double>((sys_days(date) - epoch).count());
  return {wholeDays + ((hour * 60.0 + minute) * 60.0 + second) / 86400.0, true};
}

InstrDateTime ParseInstrDateTime(const std::string& reply) {
  // Character positions of "%Y/%m/%d %H:%M:%S", counted from 0.
  auto field = [&reply](std::size_t pos) { return pos < reply.size() ? LeadingInt(reply.substr(pos, 2)) : 0; };
  const InstrDateTime parsed = MakeInstrDateTime(2000 + field(2), field(5), field(8), field(11), field(14), field(17));
  return parsed.valid ? parsed : InstrDateTime{0.0, true};
}

void CInstrStatus::Reset() {
  InstrType.clear();
  SerialNum.clear();
  FwVersion.clear();
  FwDate.clear();
  DateTime = MakeInstrDateTime(2000, 1, 1, 1, 1, 1);
  TipValue = 0.0F;
  Unit = 0;
  ContactType = 0;
  AlertMode = 0;
}

void StoreReply(int number, const std::string& reply, CInstrStatus& status, CMemoryPointers& pointers,
                const CTrace& trace) {
  const std::string trimmed = Trimmed(reply);
  auto pointer = [&trimmed, &trace](int& field, const char* name) {
    field = LeadingInt(trimmed);
    trace.Append(Printf("Command %s ack receive %d\r\n", name, field));
  };
  switch (number) {
  case GET_INSTR_TYPE:
    status.InstrType = TrimmedRight(reply);
    break;
  case GET_SERIAL_NUM: {
    const auto colon = reply.find(':');
    status.SerialNum = Trimmed(colon == std::string::npos ? reply : reply.substr(colon + 1));
    break;
  }
  case GET_FW_VERSION:
    status.FwVersion = TrimmedRight(reply);
    break;
  case GET_FW_DATE:
    status.FwDate = reply.size() > 7 ? Trimmed(reply.substr(7)) : std::string();
    break;
  case GET_DATE_TIME:
    status.DateTime = ParseInstrDateTime(reply);
    break;
  case GET_TIP_VALUE:
    status.TipValue = static_cast<float>(LeadingNumber(trimmed));
    break;
  case GET_UNIT:
    status.Unit = LeadingInt(trimmed);
    break;
  case GET_CONTACT_TYPE:
    status.ContactType = LeadingInt(trimmed);
    break;
  case GET_ALERT_MODE:
    status.AlertMode = LeadingInt(trimmed);
    break;
  case GET_READ_MEM_POINTER_R:
    pointer(pointers.ReadPointerR, "GET_READ_MEM_POINTER_R");
    break;
  case GET_WRITE_MEM_POINTER_R:
    pointer(pointers.WritePointerR, "GET_WRITE_MEM_POINTER_R");
    break;
  case GET_HIST_MEM_POINTER_R:
    pointer(pointers.HistPointerR, "GET_HIST_MEM_POINTER_R");
    break;
  case GET_READ_MEM_POINTER_T:
    pointer(pointers.ReadPointerT, "GET_READ_MEM_POINTER_T");
    break;
  case GET_WRITE_MEM_POINTER_T:
    pointer(pointers.WritePointerT, "GET_WRITE_MEM_POINTER_T");
    break;
  case GET_HIST_MEM_POINTER_T:
    pointer(pointers.HistPointerT, "GET_HIST_MEM_POINTER_T");
    break;
  default:
    break;
  }
}

} // namespace nimbrel
