#include "TextRules.h"

namespace {

int HexDigit(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

char32_t CodeAt(QStringView AText, std::size_t AIndex) {
    return AText[static_cast<qsizetype>(AIndex)].unicode();
}
char32_t CodeAt(std::string_view AText, std::size_t AIndex) {
    return static_cast<unsigned char>(AText[AIndex]);
}

template <typename Text>
std::optional<std::int32_t> Parse(const Text& AText) {
    std::size_t i = 0;
    const std::size_t n = static_cast<std::size_t>(AText.size());
    auto at = [&](std::size_t k) -> char32_t { return k < n ? CodeAt(AText, k) : 0; };

    while (at(i) == ' ') ++i;
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';

    int base = 10;
    if (at(i) == '$' || at(i) == 'x' || at(i) == 'X') {
        base = 16;
        ++i;
    } else if (at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n) return std::nullopt;

    // The same bounds for every form: a value outside the signed 32-bit range is no integer,
    // rather than another number by wrapping ($FFFFFFFF would otherwise read as -1).
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        const int digit = HexDigit(at(i));
        if (digit < 0 || digit >= base) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > limit) return std::nullopt;
    }
    // Unsigned arithmetic, then one conversion, so that -2147483648 needs no special case.
    const std::uint32_t bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
    return static_cast<std::int32_t>(bits);
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(QStringView AText) {
    return Parse(AText);
}

std::optional<std::int32_t> TryStrToInt(std::string_view AText) {
    return Parse(AText);
}

std::int32_t StrToIntDef(QStringView AText, std::int32_t ADefault) {
    return TryStrToInt(AText).value_or(ADefault);
}

QString TrimBlanks(const QString& AText) {
    qsizetype first = 0;
    qsizetype last = AText.size();
    while (first < last && AText[first].unicode() <= 32) ++first;
    while (last > first && AText[last - 1].unicode() <= 32) --last;
    return AText.mid(first, last - first);
}

QString LowerLatin(QString AText) {
    for (QChar& c : AText)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
    return AText;
}

QString Isolated(const QString& AText) {
    return QChar(0x2066) + AText +
           QChar(0x2069);  // LEFT-TO-RIGHT ISOLATE ... POP DIRECTIONAL ISOLATE
}
