// IRC servers cut every line at 512 bytes, the prefix they add (":nick!user@host ")
// and CR LF included. A channel line that would not fit is split here into parts
// that do, each starting with the line's colour style.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most a server's line may hold, CR LF included.
inline constexpr std::size_t kIrcLineMax = 512;
// Until the server shows it, "!user@host" is taken as this long: a ten-byte
// user name with its "~" and a host name of the longest kind.
inline constexpr std::size_t kUserHostGuess = 1 + 10 + 1 + 63;

// The colour style at the start of a trailing text (":" then the colour
// character with up to two digits, a comma and up to two more, then style
// characters): what each continuation part repeats. Without the colon.
std::string leading_style(std::string_view text);

// Splits text (a trailing parameter, starting with ":") into parts of at most
// room bytes each: at the last blank that leaves a part within room and at least
// half full (the blank itself goes), else at the last byte boundary that does
// not cut a colour code (also when that saves a part), nor a character of
// UTF-8 text. Every part after the first is ":" and the style, then its share
// of the text.
// A text that fits is one part, unchanged; so is any text when room is too
// small for a useful split.
std::vector<std::string> split_trailing(std::string_view text, std::size_t room);
