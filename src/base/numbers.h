#pragma once

#include <string_view>

namespace nimbrel {

// The two ways the program reads a number out of a text, used by every reader of instrument
// replies, settings files and data files.

// The decimal integer at the start of the text: leading white space skipped, an optional sign,
// reading stops at the first non-digit; 0 when there is none. Saturates at the int range.
int LeadingInt(std::string_view text);

// The number a text begins with, as the C library's atof reads it (leading white space skipped,
// any notation atof takes); 0 when it does not begin with a number.
double LeadingNumber(std::string_view text);

} // namespace nimbrel
