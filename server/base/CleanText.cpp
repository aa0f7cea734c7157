#include "CleanText.h"

#include <cstdint>

std::string CleanText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = bytes[i];
        if (c < 0x80) {
            if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        uint32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (bytes[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and the two non-characters XML forbids are not text.
        if (valid)
            valid = !(length == 2 && code < 0x80) && !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000) &&
                    !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF && code <= 0x10FFFF;
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}
