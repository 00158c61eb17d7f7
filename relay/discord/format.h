#pragma once

#include <string>
#include <string_view>

// Turning one channel line (mIRC codes) into Discord message text.

// Escapes the characters Discord reads as markdown or mentions, so a name
// like "@everyone", "<@123>" or "**x**" shows as typed.
std::string discord_escape(std::string_view text);

// Plain text: mIRC codes dropped, text escaped, bold (^B) spans in **bold**.
std::string discord_plain(std::string_view irc);

// Body of an ```ansi block: mIRC colours mapped to the eight colours Discord
// renders, bold and underline kept; "```" in the text can't end the block.
std::string discord_ansi(std::string_view irc);
