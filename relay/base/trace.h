// Console output, the debug trace file and the one way out of the program, over
// the platform alone. The relay's own calls (console_printf(r, ...), trace(r, ...))
// are thin wrappers in relay.h that hand in its platform, settings and trace state.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

struct Platform;

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

// printf into a string, of any length.
std::string vformat(const char* format, va_list ap);

void console_vprint(Platform& p, const char* format, va_list ap);
// Opens the trace file once, when debuglevel asks for one.
void open_trace_file(TraceState& t, Platform& p, int debuglevel);
bool trace_open_at(const TraceState& t, int debuglevel, int level);
void trace_vwrite(TraceState& t, Platform& p, const char* format, va_list ap);
// Closes the trace file, pauses 5 seconds and ends the process with code.
[[noreturn]] void exit_with_trace(TraceState& t, Platform& p, int code);

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;  // bad command line
inline constexpr int kExitFatal = 1;  // allocation failure, IRC lost for good
