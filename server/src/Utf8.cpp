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
