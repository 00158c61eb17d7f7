// Console death messages: victim, killer, kind and weapon from the message text.
#pragma once

struct Relay;

// When line is a death message (or a rename line), registers and counts it and
// returns 2; otherwise 0. line may hold game colour codes.
int parse_kill_text(Relay& r, const char* line);
// The same for a caller that has already looked for the death phrases in the
// line as written: bit i of written is set when death_phrase(lang, i) is there.
// The game writes its phrases whole, so only a phrase written so counts.
int parse_kill_text(Relay& r, const char* line, unsigned written);

// The death phrases of a log language, for a caller that scans lines itself.
inline constexpr int kDeathPhraseCount = 12;
const char* death_phrase(int lang, int i);
// The bits for parse_kill_text from a scan whose phrases from index first on are
// the death phrases in their order.
struct PhraseHits;
unsigned death_phrases_written(const PhraseHits& hits, int first);
