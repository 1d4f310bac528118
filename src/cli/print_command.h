#pragma once

#include <QStringList>

namespace nimbrel::cli {

// nimbrel-cli print FILE [--interval I] [--graph] [--title T] [--landscape] --pdf OUT
int RunPrint(const QStringList& args);

} // namespace nimbrel::cli
