#pragma once

#include <string>
#include <string_view>

// Whether AText is well-formed UTF-8: no stray or missing continuation bytes, no overlong form,
// no surrogate, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view AText);

// AText as one field of a log line that a request cannot forge or use to steer a terminal: the
// control characters (C0, DEL and, encoded in UTF-8, C1), the quote and the backslash as \xHH.
// Any other byte, Arabic letters included, stays as it came.
std::string EscapedForLog(std::string_view AText);
