#include "Utf8.h"

bool IsValidUtf8(std::string_view AText) {
    std::size_t i = 0;
    while (i < AText.size()) {
        const auto lead = static_cast<unsigned char>(AText[i]);
        int extra = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (AText.size() - i <= std::size_t(extra)) return false;  // cut off at the end
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(AText[i + std::size_t(k)]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += std::size_t(extra) + 1;
    }
    return true;
}

std::string EscapedForLog(std::string_view AText) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(AText.size());
    const auto hex = [&](unsigned char AByte) {
        escaped += "\\x";
        escaped += Digits[AByte >> 4];
        escaped += Digits[AByte & 15];
    };
    for (std::size_t i = 0; i < AText.size(); ++i) {
        const auto byte = static_cast<unsigned char>(AText[i]);
        const auto next = i + 1 < AText.size() ? static_cast<unsigned char>(AText[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
            hex(byte);
            hex(next);
            ++i;
        } else if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\') {
            hex(byte);
        } else {
            escaped += char(byte);
        }
    }
    return escaped;
}
