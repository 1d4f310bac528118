#include "setup/setup_commands.h"

#include "protocol/command.h"

namespace nimbrel {

const std::array<int, 15>& SetupReadCommands() {
  static const std::array<int, 15> commands = {GET_WRITE_MEM_POINTER_R,
                                               GET_READ_MEM_POINTER_R,
                                               GET_HIST_MEM_POINTER_R,
                                               GET_WRITE_MEM_POINTER_T,
                                               GET_READ_MEM_POINTER_T,
                                               GET_HIST_MEM_POINTER_T,
                                               GET_CONTACT_TYPE,
                                               GET_ALERT_MODE,
                                               GET_INSTR_TYPE,
                                               GET_SERIAL_NUM,
                                               GET_FW_VERSION,
                                               GET_FW_DATE,
                                               GET_DATE_TIME,
                                               GET_UNIT,
                                               GET_TIP_VALUE};
  return commands;
}

} // namespace nimbrel
