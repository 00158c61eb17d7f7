// What the owner's IRC commands and the in-game console commands change: one
// function per effect, so that both command sets act alike and differ only in
// their answers. The channel announcements are here too.
#pragma once

#include "relay/base/lang.h"

struct Relay;
struct BotSettings;
struct TeamState;
struct ArgVector;

// "on" / "off" (any case): 1 / 0; any other word or none: -1.
int on_off_word(const char* word);

// setting = 1 for on, 0 for off; other words change nothing.
void set_switch(int& setting, const char* word);
// Chat relaying, kept as a messages-off flag: on clears it, off sets it.
void set_messages(BotSettings& s, const char* word);
// skip: 2, on: 1, off: 0.
void set_floodprotect(BotSettings& s, const char* word);
// Taken only when at least 1024 bytes a minute.
void set_byterate(BotSettings& s, const char* word);
// Below 1 gives 0 (automatic reports off), 1 to 19 give 20.
void set_statsafter(BotSettings& s, const char* word);
// on/off: usetime; down/up: the clock's direction.
void set_usetime(BotSettings& s, const char* word);
// en: 0, de: 1.
void set_langin(BotSettings& s, const char* word);
// en: 0, de: 1, nl: 2.
void set_langout(BotSettings& s, const char* word);
// on/off: silent, then the silenced or speaking announcement; no announcement
// for any other word.
void set_silent(Relay& r, const char* word);

// Team name (clantag false) or clan tag of the team named by word 1 (red/blue,
// any case), from words 2 on joined by blanks; needs at least two words after the
// command.
void set_team_text(Relay& r, const ArgVector& args, bool clantag);
// word 1 red/blue selects the team whose score becomes the number of word 2;
// needs at least two words after the command.
void set_team_score(Relay& r, const ArgVector& args);
void swap_team_names(TeamState& t); // names and clan tags
void swap_team_scores(TeamState& t);

// name, when given, becomes the current map; either way the map's length is
// looked up again in the map information file (0 when it is not listed).
void set_map(Relay& r, const char* name);
// Starts the game clock so that it shows t seconds now: time played when counting
// up (or the map length is unknown), time left when counting down.
void set_game_time(Relay& r, int t);
// Points the status query at another game server: the old query socket is closed
// and one to the new address opened.
void set_game_server(Relay& r, const char* host, const char* port);
// The statistics report as asked for by a command.
void stats_on_request(Relay& r, const char* target);
// Says goodbye to the IRC server (when connected), closes the sockets and ends
// the program with exit code 0.
[[noreturn]] void quit_relay(Relay& r);

// Announcements into the channel: forced, in the botinfo style, in langout.
extern const LangText kSilencedText;
extern const LangText kSpeakingText;
extern const LangText kLanguageText; // indexed by the language announced
extern const LangText kRestartText;
extern const LangText kChannelSwitchText;
extern const LangText kTeamModeOnText;
extern const LangText kTeamModeOffText;
void announce(Relay& r, const char* text);
