// Named IRC colour styles and the colour file that sets them.
#pragma once

#include <string>

struct Relay;

struct ColourStyles {
    // Code texts: foreground[,background] then underline/bold/reverse characters.
    std::string default_ = "0,1";
    std::string teamkill = "4,1";
    std::string objective = "9,1";
    std::string playerstats = "0,1";
    std::string mapend = "1,7";
    std::string mapstart = "1,7";
    std::string mapinfo = "1,7";
    std::string gameend = "1,7";
    std::string gamescorehead = "1,14";
    std::string gamescore = "1,14";
    std::string botinfo = "1,7";
    std::string playercmd = "1,7";
    std::string fraglimit = "1,14";
    std::string udpinfo = "1,15";
    std::string udpscore = "1,14";

    std::string playerstyle;  // style characters only; empty for none
    int playercolor = -1;     // colour for all player names, -1 none
    int redteamcolor = 4;
    int blueteamcolor = 11;
    int specteamcolor = 4;
    int unknownteamcolor = 0;

    // Lines of the last reading that changed nothing although they were not
    // comments: key lines outside a section, without a key or value, with an
    // unknown key or colour name, and heads of unknown sections.
    int ignoredlines = 0;
    int loads = 0; // times the file was read (keys that start something anew watch it)
};

// Reads the colour file: named styles and the general settings. Changes only what
// the file names; a file that cannot be read changes nothing.
void load_colours(Relay& r, const char* filename);
