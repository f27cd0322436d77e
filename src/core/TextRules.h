#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <QString>
#include <QStringView>

// Reads a whole text as a signed 32-bit integer the way the configuration file and the settings
// dialog have always read numbers: leading spaces, one optional "+" or "-", then decimal digits,
// or hexadecimal digits after "$", "0x", "0X", "x" or "X". Anything else, including a trailing
// blank or a value outside the signed 32-bit range in either form, gives nothing.
std::optional<std::int32_t> TryStrToInt(QStringView AText);
std::optional<std::int32_t> TryStrToInt(std::string_view AText);

// The same, with ADefault for a text that is no integer.
std::int32_t StrToIntDef(QStringView AText, std::int32_t ADefault);

// AText (a path, an address) kept left to right as a whole inside right-to-left text, between
// Unicode's isolates: otherwise "/tmp/x/a.pem" shows as "tmp/x/a.pem/" in an Arabic sentence.
QString Isolated(const QString& AText);

// AText without the characters of code 32 or less (blanks and control characters) at both ends.
QString TrimBlanks(const QString& AText);

// AText with only the letters A to Z made small; every other character, Arabic and accented Latin
// letters included, stays as it is.
QString LowerLatin(QString AText);
