// Players known only by name: registration, renames, clan tags, and kills between
// named players.
#pragma once

struct Relay;

// kind 3: rename (name1 old, name2 new) -> 0; kind 4: look up or register name1 ->
// the player's id; any other kind: a kill of victim name1 by killer name2 -> 0.
int named_player_event(Relay& r, const char* name1, const char* name2, int kind, int weapon);
