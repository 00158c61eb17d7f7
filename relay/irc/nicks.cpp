// Prefixes, nick comparison by the server's case mapping, and the 005 tokens.
#include "relay/irc/nicks.h"

#include <cstring>

#include "relay/irc/irc_state.h"

namespace {

char fold(CaseMapping mapping, unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    if (mapping == kCaseAscii)
        return static_cast<char>(c);
    switch (c) {
    case '[': return '{';
    case ']': return '}';
    case '\\': return '|';
    case '~': return mapping == kCaseRfc1459 ? '^' : '~';
    default: return static_cast<char>(c);
    }
}

} // namespace

LinePrefix parse_prefix(const char* prefix)
{
    LinePrefix p;
    if (!prefix || prefix[0] != ':')
        return p;
    const char* nick = prefix + 1;
    const char* bang = std::strchr(nick, '!');
    p.nick.assign(nick, bang ? static_cast<std::size_t>(bang - nick) : std::strlen(nick));
    if (!bang)
        return p;
    const char* user = bang + 1;
    const char* at = std::strchr(user, '@');
    if (at && at != user && at[1] != 0)
        p.userhost = user;
    return p;
}

bool same_nick(const IrcState& irc, const char* a, const char* b)
{
    if (!a || !b)
        return false;
    const CaseMapping m = static_cast<CaseMapping>(irc.casemapping);
    for (; *a && *b; ++a, ++b)
        if (fold(m, static_cast<unsigned char>(*a)) != fold(m, static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

bool usable_nick(const char* nick)
{
    if (!nick || !nick[0] || nick[0] == ':' || nick[0] == '#' || std::strcmp(nick, "*") == 0)
        return false;
    for (const char* p = nick; *p; ++p)
        if (static_cast<unsigned char>(*p) <= ' ' || *p == ',' || *p == '!' || *p == '@')
            return false;
    return true;
}

void read_isupport(IrcState& irc, const IrcMessage& m)
{
    // ":server 005 nick TOKEN TOKEN=value ... :are supported by this server"
    for (int i = 3; i < m.count(); ++i) {
        const char* token = m.arg(i);
        if (std::strncmp(token, "CASEMAPPING=", 12) == 0) {
            const char* value = token + 12;
            // A mapping the relay does not know folds at least A-Z.
            irc.casemapping = std::strcmp(value, "rfc1459") == 0          ? kCaseRfc1459
                              : std::strcmp(value, "strict-rfc1459") == 0 ? kCaseStrictRfc1459
                                                                           : kCaseAscii;
        }
    }
}
