// Numbers the game and the relay give teams and game types.
#pragma once

// Teams as the player table, the scores array and the status reply number them.
inline constexpr int kTeamUnknown = 0;
inline constexpr int kTeamRed = 1;
inline constexpr int kTeamBlue = 2;
inline constexpr int kTeamSpectator = 3;

// Game types (0 while none is known).
inline constexpr int kGameNone = 0;
inline constexpr int kGameInf = 5; // Infiltration
inline constexpr int kGameDem = 6; // Demolition
inline constexpr int kGameCtf = 7; // Capture The Flag
inline constexpr int kGameDm = 8;  // Death Match
inline constexpr int kGameTdm = 9; // Team Death Match
