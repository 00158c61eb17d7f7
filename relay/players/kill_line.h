// The kill report line sent to the channel.
#pragma once

#include <string>

struct Relay;

// The kills/deaths suffix of a player (" [ 5/12]" in the playerstats style), or
// an empty text when playerstats is off, for the world and for unknown ids.
std::string showkd(Relay& r, int id);

// Sends one kill line to the channel. Names, phrase and text may be null. With a
// killer name and a phrase the line reads victim, phrase, killer, text; without
// them (suicides, deaths by the world) victim and text.
void send_line(Relay& r, const char* clocktext, int killercolour, const char* killername,
              const char* killerstyle, const char* phrase, int victimcolour, const char* victimname,
              const char* victimstyle, const char* text, int killerid, int victimid);
