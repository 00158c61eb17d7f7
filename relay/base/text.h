// Text helpers used everywhere: null-safe comparisons, case-folding search, copies,
// and the game's colour codes (caret + code character) turned into IRC colours or
// removed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "relay/base/colour_codes.h"
#include "relay/base/line_buf.h"
#include "relay/base/settings.h"


// 0 when equal. Absent and empty texts are handled before the byte comparison:
// two absent or two empty texts are equal, absent and empty are not.
int safe_strcmp(const char* a, const char* b);
int safe_stricmp(const char* a, const char* b);
int safe_strncmp(const char* a, const char* b, std::size_t n);
int safe_strnicmp(const char* a, const char* b, std::size_t n);

// First place of pattern in text; the pattern's first character must match
// exactly, the rest ignoring ASCII case. Null when not found.
const char* find_nocase(const char* text, const char* pattern);

// The leading integer of a text: optional white space, an optional sign and decimal
// digits up to the first other character. No digits read as 0; values beyond the
// int range stop at its limits.
int leading_int(const char* s);

// A copy of s, or unset when s is null.
Text copy_string(const char* s);

// Appends src to out with every game colour code turned into an IRC colour code.
// osp enables the OSP mod's extended codes.
void translate_colours(int osp, const char* src, LineBuf& out);

// src without its game colour codes.
std::string strip_colours(int osp, const char* src);
// The same into out (replacing its text, keeping its room: no allocation once
// out is large enough); a caret at the very end of raw starts no code.
void strip_colours(int osp, std::string_view raw, std::string& out);
// An IRC line's text without its mIRC codes (colour with its numbers, bold,
// reverse, underline, italics, plain) and without blanks at either end.
std::string strip_irc_codes(std::string_view text);
// True when raw without its game colour codes (as strip_colours removes them; a
// caret at the very end of raw starts no code) is plain.
bool equals_stripped(int osp, std::string_view raw, std::string_view plain);
