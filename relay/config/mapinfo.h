// The map information file: map lengths and objective texts per map.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "relay/base/settings.h"

struct Relay;

inline constexpr int kMaxMaps = 1000;

// Six texts: blue in English, German, Dutch, then red in English, German, Dutch.
struct ObjectiveTexts {
    std::array<Text, 3> blue;
    std::array<Text, 3> red;
};

struct MapInfo {
    std::string name;
    int side = 0;   // red 0, blue 1, both -1
    int time = 0;   // seconds
    std::optional<ObjectiveTexts> taken;
    std::optional<ObjectiveTexts> secured;
};

struct MapTable {
    std::vector<MapInfo> maps;
    int mapsloaded = 0;
};

int load_mapinfo(Relay& r, const char* path);
int map_time(const Relay& r);
// The text for an objective (flag 0 red, 1 blue) moved by a player of team: its
// own side secures it, the other side takes it. Null when the map has none.
const char* objective_text(Relay& r, int team, int flag);
