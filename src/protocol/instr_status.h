#pragma once

#include <string>

namespace nimbrel {

// A date-time as days since 1899-12-30 00:00:00 (fraction = time of day), with a validity flag.
struct InstrDateTime {
  double days = 0.0;
  bool valid = true;
  bool operator==(const InstrDateTime&) const = default;
};

// Days since 1899-12-30 of a calendar date and time; nullopt-like {0, false} when the fields do not
// form a real date and time.
InstrDateTime MakeInstrDateTime(int year, int month, int day, int hour, int minute, int second);

// The instrument's clock as GET_DATE_TIME answers it ("%Y/%m/%d %H:%M:%S" layout; only the last two
// year digits are read, the separators are not checked). A reply that is not a real date gives 0.
InstrDateTime ParseInstrDateTime(const std::string& reply);

// The record of the connected instrument.
class CInstrStatus {
public:
  CInstrStatus() { Reset(); }
  virtual ~CInstrStatus() = default;
  CInstrStatus(const CInstrStatus&) = default;
  CInstrStatus& operator=(const CInstrStatus&) = default;

  // At the start of a connection and of the setup read.
  void Reset();

  std::string InstrType;
  std::string SerialNum;
  std::string FwVersion;
  std::string FwDate;
  InstrDateTime DateTime;
  float TipValue = 0.0F;
  int Unit = 0;
  int ContactType = 0;
  int AlertMode = 0;
};

// The instrument's memory pointers (page numbers) as it reports them: the download decides which
// pages to fetch from them, and the setup's memory release sends the write pointers back.
struct CMemoryPointers {
  int WritePointerR = 0, ReadPointerR = 0, HistPointerR = 0;
  int WritePointerT = 0, ReadPointerT = 0, HistPointerT = 0;
};

class CTrace;

// Stores what an acknowledgement reports in the instrument record or the pointers, and writes the
// trace line the pointer replies carry. Commands whose acknowledgement stores nothing are ignored.
void StoreReply(int number, const std::string& reply, CInstrStatus& status, CMemoryPointers& pointers,
                const CTrace& trace);

} // namespace nimbrel
