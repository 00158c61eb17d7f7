// The one state of the relay: every subsystem's record in one place. This is the
// hub: it may include any folder's state; the folders include it, and each other
// only downwards.
#pragma once

#include <string_view>

#include "relay/commands/commands_state.h"
#include "relay/commands/console_commands.h"
#include "relay/commands/dispatch.h"
#include "relay/config/colours.h"
#include "relay/config/mapinfo.h"
#include "relay/base/game_state.h"
#include "relay/base/platform.h"
#include "relay/base/settings.h"
#include "relay/base/trace.h"
#include "relay/discord/sink.h"
#include "relay/gamelog/console_state.h"
#include "relay/gamelog/follower.h"
#include "relay/irc/irc_state.h"
#include "relay/players/kill_state.h"
#include "relay/players/table.h"
#include "relay/query/query_state.h"
#include "relay/sinks/sinks.h"
#include "relay/statsdb/statsdb.h"
#include "relay/status/status_files.h"

struct Relay {
    explicit Relay(Platform& p) : platform(&p)
    {
        irc.channel_hook = &report_to_sinks;
        irc.pause_hook = &pause_with_sinks;
        irc.message_hook = &handle_user_message;
        console.command_hook = &console_command;
        log.reading_hook = &statsdb_reading;
        log.line_hook = &statsdb_line;
        kills.kill_hook = &statsdb_kill;
        kills.flag_hook = &statsdb_flag;
    }

    Platform* platform;
    BotSettings settings;
    TraceState tracer;
    GameState game;
    TeamState teams;
    PlayerTable players;
    KillState kills;
    ColourStyles colours;
    MapTable maps;
    IrcState irc;
    LogFollower log;
    CommandState commands;
    QueryState query;
    ConsoleState console;
    DiscordSink discord;
    StatusFiles status;
    StatsDb statsdb;
};

// Console messages. console_printf always prints; console_note is silenced by -q.
__attribute__((format(printf, 2, 3))) void console_printf(Relay& r, const char* format, ...);
__attribute__((format(printf, 2, 3))) void console_note(Relay& r, const char* format, ...);
void console_text(Relay& r, std::string_view text);

// The trace file, opened when debuglevel asks for it.
void open_trace(Relay& r);
// Writes a formatted line to the trace file when debuglevel >= level and it is open.
__attribute__((format(printf, 3, 4))) void trace(Relay& r, int level, const char* format, ...);
bool tracing(const Relay& r, int level);

// Closes the trace file, pauses 5 seconds and ends the process with code.
[[noreturn]] void exit_program(Relay& r, int code);
