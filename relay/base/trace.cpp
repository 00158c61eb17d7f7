#include "relay/base/trace.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "relay/base/platform.h"

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

void console_vprint(Platform& p, const char* format, va_list ap)
{
    std::string s = vformat(format, ap);
    p.console(s.data(), s.size());
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

void open_trace_file(TraceState& t, Platform& p, int debuglevel)
{
    if (debuglevel < 1 || t.tracelogopen)
        return;
    int fh = p.file_open_append(trace_path(p), true);
    if (fh < 0)
        return; // no trace for this run; nothing is reported
    t.tracelog = fh;
    t.tracelogopen = 1;
    static const char banner[] = "------\nLOGFILE OPENED\n------\n";
    p.file_write(fh, banner, sizeof banner - 1);
}

bool trace_open_at(const TraceState& t, int debuglevel, int level)
{
    return t.tracelogopen && t.tracelog >= 0 && debuglevel >= level;
}

void trace_vwrite(TraceState& t, Platform& p, const char* format, va_list ap)
{
    std::string s = vformat(format, ap);
    p.file_write(t.tracelog, s.data(), s.size());
}

void exit_with_trace(TraceState& t, Platform& p, int code)
{
    if (t.tracelogopen && t.tracelog >= 0) {
        static const char closing[] = "\r\n-- CLOSING DEBUG FILE --\r\n";
        p.file_write(t.tracelog, closing, sizeof closing - 1);
        p.file_close(t.tracelog);
        t.tracelog = -1;
    }
    p.sleep_ms(5000);
    p.exit_process(code);
    std::abort(); // not reached: exit_process never returns
}
