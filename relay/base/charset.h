// Character sets on the wire. The relay's own texts and most game logs are
// Latin-1 bytes; some IRC servers take nothing but UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF). Plain ASCII is.
bool utf8_valid(std::string_view text);
// Each byte taken as a Latin-1 character, written in UTF-8.
std::string latin1_to_utf8(std::string_view text);
// The bytes at the end of text that start a UTF-8 character without finishing
// it (0 when the text does not end inside one): what a cut made there would
// tear apart.
std::size_t utf8_torn_tail(std::string_view text);
