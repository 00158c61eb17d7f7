// The handlers of the owner's IRC commands, for the dispatch table. Each takes the
// owner's nick (the reply target) and the command line's words.
#pragma once

struct Relay;
struct ArgVector;

using IrcHandler = void (*)(Relay& r, const char* to, const ArgVector& args);

// Settings: switches, values, bit sets, the listing.
void cmd_switch(Relay& r, const char* to, const ArgVector& args); // every row of the switch table
void cmd_floodprotect(Relay& r, const char* to, const ArgVector& args);
void cmd_byterate(Relay& r, const char* to, const ArgVector& args);
void cmd_statsafter(Relay& r, const char* to, const ArgVector& args);
void cmd_langin(Relay& r, const char* to, const ArgVector& args);
void cmd_langout(Relay& r, const char* to, const ArgVector& args);
void cmd_showconnectinfo(Relay& r, const char* to, const ArgVector& args);
void cmd_showstatsafter(Relay& r, const char* to, const ArgVector& args);
void cmd_ospshow(Relay& r, const char* to, const ArgVector& args);
void cmd_linesread(Relay& r, const char* to, const ArgVector& args);
void cmd_settings(Relay& r, const char* to, const ArgVector& args);

// Session and game.
void cmd_channel(Relay& r, const char* to, const ArgVector& args);
void cmd_newpass(Relay& r, const char* to, const ArgVector& args);
void cmd_server(Relay& r, const char* to, const ArgVector& args);
void cmd_restart(Relay& r, const char* to, const ArgVector& args);
void cmd_quit(Relay& r, const char* to, const ArgVector& args);
void cmd_operator(Relay& r, const char* to, const ArgVector& args);
void cmd_map(Relay& r, const char* to, const ArgVector& args);
void cmd_maptime(Relay& r, const char* to, const ArgVector& args);
void cmd_settime(Relay& r, const char* to, const ArgVector& args);
void cmd_loadcolors(Relay& r, const char* to, const ArgVector& args);
void cmd_loadmaps(Relay& r, const char* to, const ArgVector& args);

// Teams, scores, statistics, players.
void cmd_score(Relay& r, const char* to, const ArgVector& args);
void cmd_showscore(Relay& r, const char* to, const ArgVector& args);
void cmd_stats(Relay& r, const char* to, const ArgVector& args);
void cmd_channelstats(Relay& r, const char* to, const ArgVector& args);
void cmd_statsclear(Relay& r, const char* to, const ArgVector& args);
void cmd_statsdelete(Relay& r, const char* to, const ArgVector& args);
void cmd_clantag(Relay& r, const char* to, const ArgVector& args);
void cmd_renameteam(Relay& r, const char* to, const ArgVector& args);
void cmd_swapnames(Relay& r, const char* to, const ArgVector& args);
void cmd_swapscores(Relay& r, const char* to, const ArgVector& args);
void cmd_swapteams(Relay& r, const char* to, const ArgVector& args);
void cmd_swapplayers(Relay& r, const char* to, const ArgVector& args);
void cmd_swapplayer(Relay& r, const char* to, const ArgVector& args);

// Reply lines shared between commands.
void reply_clantags(Relay& r, const char* to);  // CLANTAG mode and TEAM CLANTAGS lines
void reply_floodprotect(Relay& r, const char* to, const char* prefix); // FLOODPROTECT line
void reply_usetime(Relay& r, const char* to);   // USETIME and TIME mode lines
void reply_switch_line(Relay& r, const char* to, const char* command); // a switch's line
void reply_langin(Relay& r, const char* to);
void reply_langout(Relay& r, const char* to);
void reply_statsafter(Relay& r, const char* to);
