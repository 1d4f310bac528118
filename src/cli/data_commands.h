#pragma once

#include <QStringList>

namespace nimbrel::cli {

// nimbrel-cli table FILE [--interval I]
int RunTable(const QStringList& args);
// nimbrel-cli export FILE --xlsx OUT [--interval I] [--chunk K]
int RunExport(const QStringList& args);
// nimbrel-cli stats FILE [--interval I] [--csv]
int RunStats(const QStringList& args);

} // namespace nimbrel::cli
