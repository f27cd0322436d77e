#pragma once

#include <string>

// What the Windows files of this layer share: UTF-8 and UTF-16, and paths compared the way
// Windows tells one file from another.
namespace WindowsPaths {

std::wstring Wide(const std::string& AUtf8);
std::string Utf8(const std::wstring& AWide);

// The full path with every short (8.3) name of it that exists in its long form.
std::wstring LongForm(const std::wstring& APath);

// One spelling for every path that names the same file: the long form in lower case, since
// Windows names one file in any letter case.
std::wstring OneSpelling(const std::wstring& APath);

// Whether both paths name one file: by the volume and the file's index where both can be
// opened (a link or another spelling of it included), by their one spelling otherwise.
bool SameFile(const std::wstring& AFirst, const std::wstring& ASecond);

}  // namespace WindowsPaths
