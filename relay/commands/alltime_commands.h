// All-time statistics commands: !top [n], !player name, and in the game lbot top
// [n], lbot player name. They exist only while a statistics database is set.
#pragma once

struct Relay;
struct ArgVector;

inline constexpr int kTopDefault = 10;
inline constexpr int kTopMost = 20;

// The word check of !top for the dispatcher: 0, or the error code to reply with.
int check_top(const Relay& r, const ArgVector& args);

void cmd_top(Relay& r, const char* to, const ArgVector& args);
void cmd_player(Relay& r, const char* to, const ArgVector& args);

void lbot_top(Relay& r, const ArgVector& args);
void lbot_player(Relay& r, const ArgVector& args);
