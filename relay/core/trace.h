// Console output, the debug trace file and the one way out of the program.
#pragma once

#include <string>
#include <string_view>

struct Platform;
struct Relay;

// Where the debug trace goes: the file kTraceFileName in the directory that the
// environment variable TIDECORE_TRACE_DIR names (a service points it at its state
// directory, since its /tmp is private and removed when it stops); without the
// variable, a fixed place, like the relay's original drive-root file. The file is
// opened owner-only and never through a symbolic link.
inline constexpr const char* kTracePath = "/tmp/tidecore-trace.log";
inline constexpr const char* kTraceFileName = "tidecore-trace.log";
inline constexpr const char* kTraceDirVariable = "TIDECORE_TRACE_DIR";
std::string trace_path(Platform& p);

struct TraceState {
    int tracelog = -1;    // open trace file handle
    int tracelogopen = 0; // set when opened, never cleared
};

// Console messages. console_printf always prints; console_note is silenced by -q.
__attribute__((format(printf, 2, 3))) void console_printf(Relay& r, const char* format, ...);
__attribute__((format(printf, 2, 3))) void console_note(Relay& r, const char* format, ...);
void console_text(Relay& r, std::string_view text);

void open_trace(Relay& r);
// Writes a formatted line to the trace file when debuglevel >= level and it is open.
__attribute__((format(printf, 3, 4))) void trace(Relay& r, int level, const char* format, ...);
bool tracing(const Relay& r, int level);

// Closes the trace file, pauses 5 seconds and ends the process with code.
[[noreturn]] void exit_program(Relay& r, int code);

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;  // bad command line
inline constexpr int kExitFatal = 1;  // allocation failure, IRC lost for good
