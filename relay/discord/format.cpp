#include "relay/discord/format.h"

#include <cstring>

namespace {

// mIRC colour index -> Discord ansi foreground (30 grey .. 37 white).
constexpr int ansi_fg[16] = {37, 30, 34, 32, 31, 31, 35, 33, 33, 32, 36, 36, 34, 35, 30, 37};

// Reads the digits of a ^C code at text[i]; returns the foreground or -1.
int read_colour(std::string_view text, size_t& i)
{
    auto digits = [&](int& value) {
        int n = 0;
        value = 0;
        while (n < 2 && i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++n;
        }
        return n > 0;
    };
    int fg = -1;
    if (!digits(fg))
        return -1;
    if (i + 1 < text.size() && text[i] == ',' && text[i + 1] >= '0' && text[i + 1] <= '9') {
        ++i;
        int bg = 0;
        digits(bg);
    }
    return fg;
}

}  // namespace

std::string discord_escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (std::strchr("\\*_~`|>#-[]()<@:", c) && c != '\0')
            out += '\\';
        out += c;
    }
    return out;
}

std::string discord_plain(std::string_view irc)
{
    std::string out, run;
    bool bold = false;
    auto flush = [&] {
        out += discord_escape(run);
        run.clear();
    };
    for (size_t i = 0; i < irc.size();) {
        char c = irc[i++];
        if (c == '\x03') {
            read_colour(irc, i);
        } else if (c == '\x02' || c == '\x0f') {
            if (c == '\x0f' && !bold)
                continue;
            flush();
            bool was = bold;
            bold = c == '\x02' ? !bold : false;
            if (was && out.size() >= 2 && out.compare(out.size() - 2, 2, "**") == 0)
                out.resize(out.size() - 2);  // an empty bold span shows nothing
            else
                out += "**";
        } else if (c == '\x1f' || c == '\x16' || c == '\x1d') {
        } else {
            run += c;
        }
    }
    flush();
    if (bold && out.size() >= 2 && out.compare(out.size() - 2, 2, "**") == 0)
        out.resize(out.size() - 2);
    else if (bold)
        out += "**";
    return out;
}

std::string discord_ansi(std::string_view irc)
{
    std::string out;
    bool bold = false, under = false;
    int fg = -1;
    auto emit = [&] {
        out += "\x1b[0";
        if (bold)
            out += ";1";
        if (under)
            out += ";4";
        if (fg >= 0)
            out += ";" + std::to_string(ansi_fg[fg % 16]);
        out += 'm';
    };
    int backticks = 0;
    for (size_t i = 0; i < irc.size();) {
        char c = irc[i++];
        if (c == '\x03') {
            fg = read_colour(irc, i);
            emit();
        } else if (c == '\x02') {
            bold = !bold;
            emit();
        } else if (c == '\x1f') {
            under = !under;
            emit();
        } else if (c == '\x0f') {
            bold = under = false;
            fg = -1;
            emit();
        } else if (c == '\x16' || c == '\x1d') {
        } else {
            // A zero-width space after every second backtick keeps "```" out.
            backticks = c == '`' ? backticks + 1 : 0;
            out += c;
            if (backticks == 2) {
                out += "\u200b";
                backticks = 0;
            }
        }
    }
    return out;
}
