// The status page (index.html): self-contained, complete without JavaScript,
// and with it redrawn from status.json every few seconds. Every text from the
// game is escaped.
#pragma once

#include <string>
#include <string_view>

#include <vector>

struct Relay;
struct PlayerRecord;

std::string render_status_page(const Relay& r);
// Helpers of the status files: text as UTF-8 (Latin-1 bytes converted), a team's
// word, and the players in use with the most kills first (fewest deaths next).
std::string status_utf8(std::string_view text);
const char* status_team_word(int team);
std::vector<const PlayerRecord*> players_by_kills(const Relay& r);
// Text made safe between HTML tags and inside quoted attributes.
std::string html_escape(std::string_view text);
// A name with game colour codes (^0..^9) as escaped text in coloured spans.
std::string html_coloured(std::string_view name);
