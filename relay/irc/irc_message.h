// One IRC message as a value: its words as the server sent them, cut the way the
// relay has always cut them. Pure: no Relay, no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr int kIrcArgSlots = 20;  // words kept of one message
inline constexpr int kIrcArgSize = 1024; // one word: at most 1023 characters

struct IrcMessage {
    // Prefix (with its ':') when there is one, command, parameters; the trailing
    // parameter without its ':' (and cut again at every " :" inside it).
    std::vector<std::string> words;

    int count() const { return static_cast<int>(words.size()); }
    // Word i, or "" beyond the last.
    const char* arg(int i) const { return i >= 0 && i < count() ? words[static_cast<std::size_t>(i)].c_str() : ""; }
    // The word after the prefix (or the first, without one) is the command.
    int command_at() const { return arg(0)[0] == ':' ? 1 : 0; }
};

// Words are separated by blanks; a word that starts with ':' after a blank
// begins the trailing part, which is cut only at " :" from there on. At most
// kIrcArgSlots words are kept, each cut at kIrcArgSize - 1 characters.
IrcMessage parse_irc_message(std::string_view line);
