#include "relay/relay.h"

#include <cstdarg>

void console_text(Relay& r, std::string_view text)
{
    r.platform->console(text.data(), text.size());
}

void console_printf(Relay& r, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    console_vprint(*r.platform, format, ap);
    va_end(ap);
}

void console_note(Relay& r, const char* format, ...)
{
    if (r.settings.quietmode)
        return;
    va_list ap;
    va_start(ap, format);
    console_vprint(*r.platform, format, ap);
    va_end(ap);
}

void open_trace(Relay& r)
{
    open_trace_file(r.tracer, *r.platform, r.settings.debuglevel);
}

bool tracing(const Relay& r, int level)
{
    return trace_open_at(r.tracer, r.settings.debuglevel, level);
}

void trace(Relay& r, int level, const char* format, ...)
{
    if (!tracing(r, level))
        return;
    va_list ap;
    va_start(ap, format);
    trace_vwrite(r.tracer, *r.platform, format, ap);
    va_end(ap);
}

void exit_program(Relay& r, int code)
{
    // What the statistics hold waiting goes in before the end.
    statsdb_close(r);
    exit_with_trace(r.tracer, *r.platform, code);
}
