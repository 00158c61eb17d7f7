// Command lines cut into words, and the words the commands take: on/off words,
// numbers, game-clock times. Shared by the owner's IRC commands and the in-game
// console commands.
#pragma once

#include <array>
#include <string>

struct Relay;

inline constexpr int kMaxArgs = 20;
inline constexpr std::size_t kMaxArgLength = 1023;

struct ArgVector {
    std::array<std::string, kMaxArgs> words; // word 0 is the command word
    int count = 0;

    // Word i, or null past the last word.
    const char* word(int i) const { return i >= 0 && i < count ? words[i].c_str() : nullptr; }
};

// Cuts line into at most 20 words at runs of blanks (0x20 only); a longer word
// keeps its first 1023 characters. Returns the number of words.
int split_args(Relay& r, const char* line, ArgVector& args);

// Words from..count-1 joined by single blanks, at most 1023 characters.
std::string join_words(const ArgVector& args, int from);

// A game-clock time "XX:YY" (minutes, colon, seconds; either part may be empty, a
// word without a colon is all minutes) in seconds, or -1 when the word is
// rejected: negative parts, or both parts below 1.
int parse_time_word(const char* word);
