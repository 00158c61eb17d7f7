#include "relay/base/charset.h"

namespace {

// The length of the character a lead byte starts, 0 for a byte that starts none.
int lead_length(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

bool continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The second byte of a character is also limited by its lead byte: this keeps
// out overlong forms, surrogates and code points above U+10FFFF.
bool second_fits(unsigned char lead, unsigned char c)
{
    switch (lead) {
    case 0xE0: return c >= 0xA0 && c <= 0xBF;
    case 0xED: return c >= 0x80 && c <= 0x9F;
    case 0xF0: return c >= 0x90 && c <= 0xBF;
    case 0xF4: return c >= 0x80 && c <= 0x8F;
    default: return continuation(c);
    }
}

} // namespace

bool utf8_valid(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = lead_length(*p);
        if (n == 0 || end - p < n || !second_fits(p[0], p[1]))
            return false;
        for (int i = 2; i < n; ++i)
            if (!continuation(p[i]))
                return false;
        p += n;
    }
    return true;
}

std::string latin1_to_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::size_t utf8_torn_tail(std::string_view text)
{
    // A character is at most four bytes: only the last three can start a torn one.
    const std::size_t size = text.size();
    for (std::size_t k = 1; k <= 3 && k <= size; ++k) {
        const auto c = static_cast<unsigned char>(text[size - k]);
        if (continuation(c))
            continue;
        const int n = lead_length(c);
        if (n <= static_cast<int>(k))
            return 0;
        // The bytes after the lead byte must be the start of what it announces.
        if (k >= 2 && !second_fits(c, static_cast<unsigned char>(text[size - k + 1])))
            return 0;
        return k;
    }
    return 0;
}
