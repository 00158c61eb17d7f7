#include "relay/gamelog/follower.h"

#include <algorithm>
#include <cstring>

#include "relay/base/lang.h"
#include "relay/relay.h"
#include "relay/base/scoped_flag.h"
#include "relay/gamelog/console_lines.h"
#include "relay/gamelog/server_lines.h"

namespace {

constexpr LangText kLogOpenText = {{
    "Logfile present and open... Waiting for data... ",
    "Log Datei offen.. Warte auf Daten.. ",
    "Logfile aanwezig... Wacht op data... ",
}};
constexpr LangText kLogClosedText = {{
    "Logfile unavailable... ",
    "Log Datei nicht vorhanden.. ",
    "Logfile ontbreekt... ",
}};

void empty_buffer(LogFollower& lf)
{
    if (lf.logbuf.size() != kLogBufSize)
        lf.logbuf.assign(kLogBufSize, 0);
    lf.logstart = 0;
    lf.logfill = 0;
    lf.logbuf[0] = 0;
    lf.skipping = false;
}

// A new reading begins: at once when nothing of the old file waits, else once
// the waiting lines are handled.
void new_reading(Relay& r, int cause, bool fresh)
{
    LogFollower& lf = r.log;
    ++lf.reading;
    if (fresh) {
        lf.switches.clear();
        lf.headreading = lf.reading;
        lf.headbase = lf.bytesconsumed;
    } else {
        lf.switches.push_back(lf.bytesconsumed + (lf.logfill - lf.logstart));
    }
    if (lf.reading_hook)
        lf.reading_hook(r, lf.reading, cause);
}

// Counts a line taken from the log and prints the progress message.
void count_line(Relay& r)
{
    LogFollower& lf = r.log;
    ++lf.linesread;
    int every = r.settings.servermode ? 2000 : 10;
    if (lf.linesread % every == 0)
        console_note(r, "%d lines read...\n", lf.linesread);
}

// Removes n bytes from the front of the unread data. The rest moves down only when
// more is read (compact), not after every line.
void drop_front(LogFollower& lf, int n)
{
    lf.logstart += n;
    if (lf.logstart == lf.logfill) {
        lf.logstart = 0;
        lf.logfill = 0;
        lf.logbuf[0] = 0;
    }
}

void compact(LogFollower& lf)
{
    if (lf.logstart == 0)
        return;
    std::memmove(lf.logbuf.data(), lf.logbuf.data() + lf.logstart, static_cast<std::size_t>(lf.logfill - lf.logstart));
    lf.logfill -= lf.logstart;
    lf.logstart = 0;
    lf.logbuf[static_cast<std::size_t>(lf.logfill)] = 0;
}

// Reading is worth a system call when a batch may lack lines: when the buffer is
// at least half empty, or holds no complete line.
bool worth_reading(const LogFollower& lf)
{
    const int unread = lf.logfill - lf.logstart;
    return unread < kLogBufData / 2 ||
           !std::memchr(lf.logbuf.data() + lf.logstart, '\n', static_cast<std::size_t>(unread));
}

// Before the follower turns to a new file: the complete lines read from the old
// one stay to be handled first; a line the old file never finished is dropped
// (the new file's first bytes must not be glued to it).
void keep_complete_lines(LogFollower& lf)
{
    const char* base = lf.logbuf.data();
    int end = lf.logfill;
    while (end > lf.logstart && base[end - 1] != '\n')
        --end;
    lf.bytesconsumed += lf.logfill - end;
    if (end == lf.logstart) {
        empty_buffer(lf);
        return;
    }
    lf.logfill = end;
    lf.logbuf[static_cast<std::size_t>(end)] = 0;
    lf.skipping = false;
}

// The game truncated the log or a new file replaced it: start over at the
// beginning of what is there now, after the lines read from the old one.
void follow_new_file(Relay& r)
{
    LogFollower& lf = r.log;
    FileStat open_now = r.platform->file_stat_handle(lf.logstream);
    // Whatever the new file holds was written after the relay started.
    auto end_history = [&lf] {
        lf.historyend = std::min(lf.historyend, lf.bytesconsumed + (lf.logfill - lf.logstart));
    };
    if (open_now.exists && open_now.size < lf.readpos) {
        end_history();
        trace(r, 11, "log truncated at %lld bytes, reading from the start\r\n", open_now.size);
        r.platform->file_seek(lf.logstream, 0);
        lf.readpos = 0;
        keep_complete_lines(lf);
        new_reading(r, kReadingTruncated, false);
        return;
    }
    FileStat at_path = r.platform->file_stat(*r.settings.logfile);
    if (at_path.exists && at_path.identity != lf.identity && open_now.size <= lf.readpos) {
        // The old file is read to its end; the new one takes over from its first byte.
        int fh = r.platform->file_open_read(*r.settings.logfile);
        if (fh < 0)
            return;
        trace(r, 11, "log replaced, reading the new file\r\n");
        end_history();
        r.platform->file_close(lf.logstream);
        lf.logstream = fh;
        lf.identity = r.platform->file_stat_handle(fh).identity;
        lf.readpos = 0;
        keep_complete_lines(lf);
        new_reading(r, kReadingReplaced, false);
    }
}

} // namespace

void open_log(Relay& r)
{
    LogFollower& lf = r.log;
    if (lf.logopen || !r.settings.logfile)
        return;
    FileStat st = r.platform->file_stat(*r.settings.logfile);
    if (lf.historypending) {
        // Only the first try counts: a log that appears later was written after it.
        lf.historypending = false;
        lf.historyend = lf.bytesconsumed + (st.exists && st.regular ? st.size : 0);
    }
    if (st.exists && !st.regular) {
        // A pipe would block the relay, a directory or device never gives a log:
        // keep waiting for a plain file at that path.
        if (!lf.refusednotice)
            console_printf(r, "The log %s is not a plain file: waiting for one.\n", r.settings.logfile->c_str());
        lf.refusednotice = true;
        return;
    }
    lf.refusednotice = false;
    int fh = r.platform->file_open_read(*r.settings.logfile);
    if (fh < 0)
        return;
    long long now = r.platform->now();
    r.game.lastactivity = now;
    r.game.mapstarttime = now;
    lf.logstream = fh;
    lf.logopen = 1;
    lf.readpos = 0;
    lf.identity = r.platform->file_stat_handle(fh).identity;
    empty_buffer(lf);
    new_reading(r, kReadingOpened, true);
}

void close_log(Relay& r)
{
    LogFollower& lf = r.log;
    if (lf.logopen)
        r.platform->file_close(lf.logstream);
    lf.logstream = -1;
    lf.logopen = 0;
    lf.linesread = 0;
    lf.bytesconsumed = 0;
    lf.readpos = 0;
    lf.historypending = true;
}

int read_log(Relay& r)
{
    LogFollower& lf = r.log;
    if (!lf.logopen || !worth_reading(lf))
        return 0;
    compact(lf);
    if (lf.logfill >= kLogBufData) {
        // A line longer than the whole buffer would stop the follower for good:
        // drop what is held and the rest of that line up to its line feed.
        trace(r, 11, "dropping an over-long log line\r\n");
        lf.bytesconsumed += lf.logfill;
        lf.logfill = 0;
        lf.logbuf[0] = 0;
        lf.skipping = true;
    }
    long n = r.platform->file_read(lf.logstream, lf.logbuf.data() + lf.logfill,
                                   static_cast<std::size_t>(kLogBufData - lf.logfill));
    if (n <= 0) {
        lf.atend = true;
        // At the end of the file: only now can it have been cut or replaced.
        const long long before = lf.readpos;
        follow_new_file(r);
        if (lf.readpos == before && lf.logstream >= 0)
            return 0;
        n = r.platform->file_read(lf.logstream, lf.logbuf.data() + lf.logfill,
                                  static_cast<std::size_t>(kLogBufData - lf.logfill));
        if (n <= 0)
            return 0;
    }
    lf.atend = false;
    lf.readpos += n;
    lf.logfill += static_cast<int>(n);
    lf.logbuf[static_cast<std::size_t>(lf.logfill)] = 0;
    if (lf.skipping) {
        char* lf_at = static_cast<char*>(std::memchr(lf.logbuf.data(), '\n', static_cast<std::size_t>(lf.logfill)));
        if (!lf_at) {
            lf.bytesconsumed += lf.logfill;
            lf.logfill = 0;
            lf.logbuf[0] = 0;
        } else {
            int rest = static_cast<int>(lf_at - lf.logbuf.data()) + 1;
            lf.bytesconsumed += rest;
            drop_front(lf, rest);
            lf.skipping = false;
            count_line(r);
        }
    }
    return static_cast<int>(n);
}

int take_log_lines(Relay& r)
{
    LogFollower& lf = r.log;
    if (lf.logfill < 1)
        return 0;
    int handled = 0;
    int taken = 0;
    while (taken < kLinesPerPass && lf.logfill > lf.logstart) {
        char* base = lf.logbuf.data() + lf.logstart;
        char* end = static_cast<char*>(std::memchr(base, '\n', static_cast<std::size_t>(lf.logfill - lf.logstart)));
        if (!end)
            break;
        *end = 0;
        lf.historyline = lf.bytesconsumed < lf.historyend;
        while (!lf.switches.empty() && lf.bytesconsumed >= lf.switches.front()) {
            ++lf.headreading;
            lf.headbase = lf.switches.front();
            lf.switches.pop_front();
        }
        lf.linestart = lf.bytesconsumed - lf.headbase;
        lf.lineend = lf.linestart + (end - base) + 1;
        if (lf.line_hook)
            lf.line_hook(r, base, static_cast<int>(end - base));
        int result;
        {
            ScopedFlag handling(lf.handling);
            result = lf.processor ? lf.processor(r, base)
                   : r.settings.servermode ? process_server_line(r, base)
                                           : process_console_line(r, base);
        }
        if (!lf.logopen) {
            // A command closed the log to read it again from the start.
            return handled + (result == 0 ? 1 : 0);
        }
        trace(r, 101, "removing[%s]\r\n", base);
        int len = static_cast<int>(end - base);
        lf.bytesconsumed += len + 1;
        drop_front(lf, len + 1);
        count_line(r);
        ++taken;
        if (result == 0)
            ++handled;
        else
            break;
    }
    if (taken > 0)
        lf.lastline = r.platform->now();
    return handled;
}

bool log_lines_waiting(const LogFollower& lf)
{
    return lf.logfill > lf.logstart &&
           std::memchr(lf.logbuf.data() + lf.logstart, '\n', static_cast<std::size_t>(lf.logfill - lf.logstart));
}

const char* log_state_text(const Relay& r)
{
    return (r.log.logopen ? kLogOpenText : kLogClosedText)[r.settings.langout];
}
