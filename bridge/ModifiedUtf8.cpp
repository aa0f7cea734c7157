#include "ModifiedUtf8.h"

namespace
{
bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Reads the three-byte sequence at position; 0 when there is none.
char32_t ThreeByteAt(std::string_view text, size_t position)
{
    if (position + 2 >= text.size())
        return 0;
    auto b0 = static_cast<unsigned char>(text[position]);
    auto b1 = static_cast<unsigned char>(text[position + 1]);
    auto b2 = static_cast<unsigned char>(text[position + 2]);
    if ((b0 & 0xF0) != 0xE0 || !IsContinuation(b1) || !IsContinuation(b2))
        return 0;
    char32_t c = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | char32_t(b2 & 0x3F);
    return c >= 0x800 ? c : 0;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

bool ModifiedUtf8ToUtf8(std::string_view modified, std::string& utf8)
{
    utf8.clear();
    utf8.reserve(modified.size());
    size_t i = 0;
    while (i < modified.size()) {
        auto b0 = static_cast<unsigned char>(modified[i]);
        if (b0 < 0x80) {
            if (b0 == 0)
                return false;
            utf8 += static_cast<char>(b0);
            ++i;
        } else if ((b0 & 0xE0) == 0xC0) {
            if (i + 1 >= modified.size() || !IsContinuation(static_cast<unsigned char>(modified[i + 1])))
                return false;
            char32_t c = (char32_t(b0 & 0x1F) << 6) | char32_t(modified[i + 1] & 0x3F);
            // C0 80 is the JVM's NUL, which a bus string cannot hold; shorter forms are overlong.
            if (c < 0x80)
                return false;
            AppendUtf8(utf8, c);
            i += 2;
        } else {
            char32_t c = ThreeByteAt(modified, i);
            if (c == 0 || IsLowSurrogate(c))
                return false;
            if (IsHighSurrogate(c)) {
                char32_t low = ThreeByteAt(modified, i + 3);
                if (!IsLowSurrogate(low))
                    return false;
                AppendUtf8(utf8, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                i += 6;
            } else {
                AppendUtf8(utf8, c);
                i += 3;
            }
        }
    }
    return true;
}
