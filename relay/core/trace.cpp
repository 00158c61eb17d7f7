#include "relay/core/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "relay/core/relay.h"

namespace {

std::string vformat(const char* format, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    char small[1024];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, ap);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

} // namespace

void console_text(Relay& r, std::string_view text)
{
    r.platform->console(text.data(), text.size());
}

void console_printf(Relay& r, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string s = vformat(format, ap);
    va_end(ap);
    console_text(r, s);
}

void console_note(Relay& r, const char* format, ...)
{
    if (r.settings.quietmode)
        return;
    va_list ap;
    va_start(ap, format);
    std::string s = vformat(format, ap);
    va_end(ap);
    console_text(r, s);
}

std::string trace_path(Platform& p)
{
    std::string dir = p.environment(kTraceDirVariable);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty())
        return kTracePath;
    if (dir != "/")
        dir += '/';
    return dir + kTraceFileName;
}

void open_trace(Relay& r)
{
    if (r.settings.debuglevel < 1 || r.tracer.tracelogopen)
        return;
    int fh = r.platform->file_open_append(trace_path(*r.platform), true);
    if (fh < 0)
        return; // no trace for this run; nothing is reported
    r.tracer.tracelog = fh;
    r.tracer.tracelogopen = 1;
    static const char banner[] = "------\nLOGFILE OPENED\n------\n";
    r.platform->file_write(fh, banner, sizeof banner - 1);
}

bool tracing(const Relay& r, int level)
{
    return r.tracer.tracelogopen && r.tracer.tracelog >= 0 && r.settings.debuglevel >= level;
}

void trace(Relay& r, int level, const char* format, ...)
{
    if (!tracing(r, level))
        return;
    va_list ap;
    va_start(ap, format);
    std::string s = vformat(format, ap);
    va_end(ap);
    r.platform->file_write(r.tracer.tracelog, s.data(), s.size());
}

void exit_program(Relay& r, int code)
{
    if (r.tracer.tracelogopen && r.tracer.tracelog >= 0) {
        static const char closing[] = "\r\n-- CLOSING DEBUG FILE --\r\n";
        r.platform->file_write(r.tracer.tracelog, closing, sizeof closing - 1);
        r.platform->file_close(r.tracer.tracelog);
        r.tracer.tracelog = -1;
    }
    r.platform->sleep_ms(5000);
    r.platform->exit_process(code);
    std::abort(); // not reached: exit_process never returns
}
