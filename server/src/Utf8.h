#pragma once

#include <string_view>

// Whether AText is well-formed UTF-8: no stray or missing continuation bytes, no overlong form,
// no surrogate, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view AText);
