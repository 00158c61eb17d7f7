// Follows the game's log as it grows, cuts it into lines and hands each line to
// the line processor of the current mode.
#pragma once

#include <deque>
#include <vector>

struct Relay;

inline constexpr int kLogBufSize = 32768;
inline constexpr int kLogBufData = kLogBufSize - 1; // room for data; a NUL follows it
inline constexpr int kLinesPerPass = 6;

struct LogFollower {
    int logstream = -1;
    int logopen = 0;
    std::vector<char> logbuf; // kLogBufSize bytes once the log was first opened
    int logstart = 0;         // unread data lies from logstart up to logfill
    int logfill = 0;
    int linesread = 0;
    long long bytesconsumed = 0;
    long long readpos = 0;           // bytes read from the open file so far
    unsigned long long identity = 0; // which file is open, to notice a replaced log
    bool skipping = false;           // dropping the rest of an over-long line
    int handling = 0;                // 1 while a line is with its processor
    bool refusednotice = false;      // the console was told the path is no plain file
    // History: the lines that were in the log when the relay started, or when the
    // log was closed to be read again. The next open takes the file's size then as
    // its end; lines up to it change the game state but obey no live command.
    bool historypending = true;
    long long historyend = 0;   // bytesconsumed at the end of the history
    bool historyline = false;   // the line with its processor is history
    long long lastline = 0;     // when a pass last handled a line (seconds)
    bool atend = false;         // the last read found nothing new
    // Readings: each time the follower starts at a file's first byte (opened,
    // cut shorter, replaced) is a reading with a number of its own. Lines of the
    // old file may still wait when a new reading starts: switches holds where
    // (in bytesconsumed) each later reading's bytes begin.
    int reading = 0;              // the newest reading
    int headreading = 0;          // the reading of the line being handled
    long long headbase = 0;       // bytesconsumed at the start of headreading
    std::deque<long long> switches;
    long long linestart = 0;      // the line being handled: its offset in its file
    long long lineend = 0;        // and just after its line feed
    // Told of each new reading, and of each line before its processor (both set
    // by the Relay when all-time statistics are kept).
    void (*reading_hook)(Relay& r, int reading, int cause) = nullptr;
    void (*line_hook)(Relay& r, const char* line, int len) = nullptr;
    // Replaces the mode's line processor when set (used by tests to watch lines).
    int (*processor)(Relay&, char*) = nullptr;
};

// Opens the log when it is not open yet; nothing happens when it does not exist.
void open_log(Relay& r);
// Appends newly written log data to the buffer; the byte count (0 for none).
int read_log(Relay& r);
// Hands at most six complete lines to the line processor; the count handled.
int take_log_lines(Relay& r);
// Closes the log so that the next pass opens it again from its first byte; what
// the file holds then is read as history.
void close_log(Relay& r);

// Why a reading began; its file is open at logstream when the reading hook runs.
inline constexpr int kReadingOpened = 0;    // opened: at start, after !restart
inline constexpr int kReadingTruncated = 1; // the file was cut shorter
inline constexpr int kReadingReplaced = 2;  // another file took its path

// Complete lines read from the log wait to be handled.
bool log_lines_waiting(const LogFollower& lf);

// The log state text of the periodic status, in the output language.
const char* log_state_text(const Relay& r);
