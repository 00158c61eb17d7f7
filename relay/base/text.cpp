#include "relay/base/text.h"

#include <climits>
#include <cstring>

namespace {

// Every character that may follow a caret in a game colour code. The digits are the
// standard codes, the rest are the OSP mod's extended codes.
constexpr const char* kCodeChars = "0123456789ABCDEFGHIJKLMNOabcdefghijklmnop;:<>=?@";

struct ColourRow {
    char code;
    const char* irc; // mIRC colour number as written after the colour character
};

// Colour numbers of the extended codes (used only while osp is on).
constexpr ColourRow kExtendedColours[] = {
    {':', "0"},  {';', "7"},  {'<', "3"},  {'=', "9"},  {'>', "2"},  {'?', "4"},
    {'@', "5"},  {'A', "7"},  {'a', "7"},  {'B', "10"}, {'b', "10"}, {'C', "6"},
    {'c', "6"},  {'D', "11"}, {'d', "11"}, {'E', "13"}, {'e', "13"}, {'F', "11"},
    {'f', "11"}, {'G', "7"},  {'g', "7"},  {'H', "3"},  {'h', "3"},  {'I', "4"},
    {'i', "4"},  {'J', "5"},  {'j', "5"},  {'K', "5"},  {'k', "5"},  {'L', "8"},
    {'l', "8"},  {'M', "10"}, {'m', "10"}, {'N', "0"},  {'n', "0"},  {'O', "0"},
    {'o', "0"},  {'p', "14"},
};

// Colour numbers of the digit codes 0 to 9.
constexpr const char* kDigitColours[10] = {"14", "4", "3", "8", "12", "11", "13", "0", "7", "15"};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

// The rules shared by all four comparisons for absent and empty texts. Returns -2
// when both texts are present and non-empty, so the byte comparison decides.
int presence_rule(const char* a, const char* b)
{
    if (!a)
        return b ? 1 : 0;
    if (!b)
        return 1;
    if (!*a)
        return *b ? 1 : 0;
    if (!*b)
        return 1;
    return -2;
}

int compare_bytes(const char* a, const char* b, std::size_t n, bool nocase)
{
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (nocase) {
            ca = fold(ca);
            cb = fold(cb);
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
    return 0;
}

const char* extended_colour(char code)
{
    for (const ColourRow& row : kExtendedColours)
        if (row.code == code)
            return row.irc;
    return nullptr;
}

// A code character for strip_colours while osp is on (the same set as above,
// without the digits, which are handled first).
bool is_extended_code(char c)
{
    if (c == 0)
        return false;
    return std::strchr(":;<=>?@p", c) != nullptr || (c >= 'A' && c <= 'O') || (c >= 'a' && c <= 'o');
}

} // namespace

int safe_strcmp(const char* a, const char* b)
{
    int rule = presence_rule(a, b);
    return rule != -2 ? rule : compare_bytes(a, b, static_cast<std::size_t>(-1), false);
}

int safe_stricmp(const char* a, const char* b)
{
    int rule = presence_rule(a, b);
    return rule != -2 ? rule : compare_bytes(a, b, static_cast<std::size_t>(-1), true);
}

int safe_strncmp(const char* a, const char* b, std::size_t n)
{
    int rule = presence_rule(a, b);
    return rule != -2 ? rule : compare_bytes(a, b, n, false);
}

int safe_strnicmp(const char* a, const char* b, std::size_t n)
{
    int rule = presence_rule(a, b);
    return rule != -2 ? rule : compare_bytes(a, b, n, true);
}

const char* find_nocase(const char* text, const char* pattern)
{
    if (!text || !pattern)
        return nullptr;
    if (!*pattern)
        return text;
    std::size_t rest = std::strlen(pattern + 1);
    for (const char* p = text; *p; ++p) {
        // The first character must match exactly; clan tags such as "[ABC]" start
        // with punctuation, the letters after it may differ in case.
        if (*p != *pattern)
            continue;
        if (compare_bytes(p + 1, pattern + 1, rest, true) == 0)
            return p;
    }
    return nullptr;
}

Text copy_string(const char* s)
{
    if (!s)
        return std::nullopt;
    return std::string(s);
}

void translate_colours(int osp, const char* src, LineBuf& out)
{
    if (!src)
        return;
    const char* rest = src;
    const char* caret = std::strchr(rest, '^');
    while (caret) {
        char code = caret[1];
        // A caret at the very end (code NUL) counts as a code too and becomes a
        // bare colour character, which IRC clients show as nothing.
        bool in_set = code == 0 || std::strchr(kCodeChars, code) != nullptr;
        if (!in_set) {
            caret = std::strchr(caret + 1, '^');
            continue;
        }
        out.add(std::string_view(rest, static_cast<std::size_t>(caret - rest)));
        out.add_char(kColour);
        rest = caret + 1;
        if (is_digit(code)) {
            out.add(kDigitColours[code - '0']);
            ++rest;
        } else if (osp && code != 0 && extended_colour(code)) {
            out.add(extended_colour(code));
            ++rest;
        }
        // A digit right after a colour number would be read as part of it.
        if (is_digit(*rest)) {
            out.add_char(kReverse);
            out.add_char(kReverse);
        }
        caret = std::strchr(rest, '^');
    }
    out.add(rest);
}

std::string strip_colours(int osp, const char* src)
{
    std::string out;
    if (src)
        strip_colours(osp, std::string_view(src), out);
    return out;
}

void strip_colours(int osp, std::string_view raw, std::string& out)
{
    // Byte by byte into room made once: names and lines carry many short runs
    // between their codes. A caret that starts no code stays.
    out.resize(raw.size());
    char* o = out.data();
    const char* s = raw.data();
    const char* const e = s + raw.size();
    while (s < e) {
        const char c = *s++;
        if (c == '^' && s < e && (is_digit(*s) || (osp && is_extended_code(*s)))) {
            ++s; // the code character
            continue;
        }
        *o++ = c;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

bool equals_stripped(int osp, std::string_view raw, std::string_view plain)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '^') {
            const char next = i + 1 < raw.size() ? raw[i + 1] : 0;
            if (is_digit(next) || (osp && is_extended_code(next))) {
                ++i;
                continue;
            }
        }
        if (j >= plain.size() || plain[j] != c)
            return false;
        ++j;
    }
    return j == plain.size();
}

int leading_int(const char* s)
{
    if (!s)
        return 0;
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\f' || *s == '\v')
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    return static_cast<int>(v);
}

std::string strip_irc_codes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\x03') {
            std::size_t n = 0;
            while (n < 2 && i + 1 < text.size() && digit(text[i + 1])) {
                ++i;
                ++n;
            }
            if (n && i + 2 < text.size() && text[i + 1] == ',' && digit(text[i + 2])) {
                ++i;
                for (n = 0; n < 2 && i + 1 < text.size() && digit(text[i + 1]); ++n)
                    ++i;
            }
        } else if (c != '\x02' && c != '\x0f' && c != '\x16' && c != '\x1f' && c != '\x1d') {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (!out.empty() && out.front() == ' ')
        out.erase(0, 1);
    return out;
}
