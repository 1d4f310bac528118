#pragma once

#include <QString>

#include <string>

namespace nimbrel {

// A core text as Qt shows it.
inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
inline std::string Std(const QString& text) {
  return text.toStdString();
}

// A text whose lines end in CR LF, LF or a lone CR (the connecting dialog's "\r\r") with each line
// break as one LF, as labels and message boxes want it.
QString Lines(const std::string& text);

} // namespace nimbrel
