#include "relay/discord/format.h"

#include <gtest/gtest.h>

struct FormatCase {
    const char* irc;
    const char* plain;
    const char* ansi;
};

TEST(DiscordFormat, NamesAndColours)
{
    const FormatCase cases[] = {
        {"\x02@everyone\x02 killed <@123>", "**\\@everyone** killed \\<\\@123\\>",
         "\x1b[0;1m@everyone\x1b[0m killed <@123>"},
        {"\x03" "04**x**\x0f said ```hi```", "\\*\\*x\\*\\* said \\`\\`\\`hi\\`\\`\\`",
         "\x1b[0;31m**x**\x1b[0m said ``\u200b`hi``\u200b`"},
        {"\x03" "12,01blue\x03 plain\x02", "blue plain", "\x1b[0;34mblue\x1b[0m plain\x1b[0;1m"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(discord_plain(c.irc), c.plain) << c.irc;
        EXPECT_EQ(discord_ansi(c.irc), c.ansi) << c.irc;
    }
}
