// The one state of the relay: every subsystem's record in one place.
#pragma once

#include "relay/commands/commands_state.h"
#include "relay/config/colours.h"
#include "relay/config/mapinfo.h"
#include "relay/core/game_state.h"
#include "relay/core/platform.h"
#include "relay/core/settings.h"
#include "relay/core/trace.h"
#include "relay/discord/sink.h"
#include "relay/gamelog/console_state.h"
#include "relay/gamelog/follower.h"
#include "relay/irc/irc_state.h"
#include "relay/players/kill_state.h"
#include "relay/players/table.h"
#include "relay/query/query_state.h"
#include "relay/sinks/sinks.h"
#include "relay/status/status_files.h"

struct Relay {
    explicit Relay(Platform& p) : platform(&p)
    {
        irc.channel_hook = &report_to_sinks;
        irc.pause_hook = &pause_with_sinks;
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
};
