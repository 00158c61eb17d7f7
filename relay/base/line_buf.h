// One report line under construction: at most 1023 characters, cut silently
// (a cut through UTF-8 text keeps its characters whole).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "relay/base/charset.h"

struct LineBuf {
    static constexpr std::size_t cap = 1023;

    // Only the bytes up to len and the zero after them are ever read, so the rest
    // is left as it is (a line is built for every report, many while catching up).
    char buf[cap + 1];
    std::size_t len = 0;

    LineBuf() { buf[0] = 0; }

    void clear()
    {
        len = 0;
        buf[0] = 0;
    }
    const char* c_str() const { return buf; }
    std::string_view view() const { return {buf, len}; }
    std::size_t room() const { return cap - len; }

    // Appends raw bytes (a NUL inside the text ends it, as in a C string).
    LineBuf& add(std::string_view text)
    {
        std::size_t n = 0;
        while (n < text.size() && text[n] != 0)
            ++n;
        if (n > room()) {
            n = room();
            // A UTF-8 text is cut between its characters, never inside one.
            if (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
                n -= utf8_torn_tail(text.substr(0, n));
        }
        for (std::size_t i = 0; i < n; ++i)
            buf[len + i] = text[i];
        len += n;
        buf[len] = 0;
        return *this;
    }
    LineBuf& add(const char* text) { return text ? add(std::string_view(text)) : *this; }
    LineBuf& add(const std::string& text) { return add(std::string_view(text)); }
    LineBuf& add_char(char c)
    {
        if (len < cap) {
            buf[len++] = c;
            buf[len] = 0;
        }
        return *this;
    }

    // Appends printf-style formatted text, cut to what is left of the line.
    __attribute__((format(printf, 2, 3))) LineBuf& addf(const char* format, ...)
    {
        va_list ap;
        va_start(ap, format);
        vaddf(format, ap);
        va_end(ap);
        return *this;
    }
    LineBuf& vaddf(const char* format, va_list ap)
    {
        int n = std::vsnprintf(buf + len, room() + 1, format, ap);
        if (n > 0)
            len += static_cast<std::size_t>(n) > room() ? room() : static_cast<std::size_t>(n);
        buf[len] = 0;
        return *this;
    }
    // Starts a report line: the trailing parameter's colon, the colour character,
    // a colour style's code text and, where the report carries one, the map clock.
    LineBuf& start(std::string_view style, std::string_view clock = {})
    {
        clear();
        add_char(':');
        add_char('\x03');
        add(style);
        return add(clock);
    }

    // Replaces the content with formatted text.
    __attribute__((format(printf, 2, 3))) LineBuf& setf(const char* format, ...)
    {
        clear();
        va_list ap;
        va_start(ap, format);
        vaddf(format, ap);
        va_end(ap);
        return *this;
    }
};
