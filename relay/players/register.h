// Players known only by name: registration, renames, clan tags, and kills between
// named players.
#pragma once

struct Relay;

// Event kinds of named_player_event besides the kill kinds of count_kill.
inline constexpr int kEventRename = 3;   // name1 took the name name2
inline constexpr int kEventRegister = 4; // look up or register name1
// As kEventRegister, for a name from a status reply: such a player never takes
// a slot from one the log knows.
inline constexpr int kEventReplyRegister = 6; // (5 is a kill kind)

// kEventRename (name1 old, name2 new) -> 0; kEventRegister: look up or register
// name1 -> the player's id; any other kind: a kill of victim name1 by killer name2
// (a kill kind of count_kill) -> 0.
int named_player_event(Relay& r, const char* name1, const char* name2, int kind, int weapon);
