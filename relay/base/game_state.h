// The game as the relay sees it: map, clock, limits and counters shared by the
// log processors, the reports, the commands and the status query.
#pragma once

#include <string>

#include "relay/base/settings.h"
#include "relay/base/teams.h"

struct GameState {
    Text map;                  // current map name, unset when unknown
    int maptime = 0;           // length of the current map in seconds, 0 none
    long long mapstarttime = 0; // wall-clock start of the map or round
    std::string clocktext;     // the map clock text last built by make_time
    double timelimit = 0.0;    // minutes
    int scorelimit = 0;
    int gametype = kGameNone;
    long long lastactivity = 0; // last kill or flag event (server mode)
    long long mapstartlogtime = 0; // server log time (seconds) of the last map start
    int eventline = 0;         // an event report is being sent: never skipped
    int fragcount = 0;         // kill events since the last statistics report
    int statsonrequest = 0;    // a statistics report runs because a command asked
    int silentquery = 0;       // a status query runs without writing to IRC
    Text showscoretext;        // extra score text set by the showscore commands
};
