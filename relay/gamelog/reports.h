// The map clock and the small reports: score, map, time limit, score limit, game type.
#pragma once

struct Relay;

// The map clock text ("[mm:ss]", or "*mm:ss*" in overtime when counting down);
// empty while usetime is off. The text lives until the next call.
const char* make_time(Relay& r, long long start, long long now, int maptime);

void report_score(Relay& r, const char* target, int mark);
void report_map(Relay& r, const char* target);
void report_timelimit(Relay& r, const char* target);
void report_scorelimit(Relay& r, const char* target);
void report_gametype(Relay& r, const char* target);
// The name of a game type code ("Capture The Flag"; "Unknown" for none).
const char* gametype_name(int code);
