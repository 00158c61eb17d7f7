#include "relay/commands/args.h"

#include <cstring>

#include "relay/base/text.h"
#include "relay/relay.h"

int split_args(Relay& r, const char* line, ArgVector& args)
{
    for (auto& w : args.words)
        w.clear();
    args.count = 0;
    if (!line)
        return 0;
    trace(r, 101, "cmd[%s]\n", line);

    const char* p = line;
    while (*p) {
        while (*p == ' ')
            ++p;
        if (*p == 0)
            break;
        if (args.count == kMaxArgs)
            break; // a 21st word: the rest of the line is ignored
        const char* start = p;
        while (*p && *p != ' ')
            ++p;
        std::size_t len = static_cast<std::size_t>(p - start);
        args.words[args.count++].assign(start, len > kMaxArgLength ? kMaxArgLength : len);
    }
    if (tracing(r, 101))
        for (int i = 0; i < args.count; ++i)
            trace(r, 101, "split: %d:[%s]\n", i, args.words[i].c_str());
    return args.count;
}

std::string join_words(const ArgVector& args, int from)
{
    std::string out;
    for (int i = from; i < args.count; ++i) {
        if (i > from)
            out += ' ';
        out += args.words[i];
    }
    if (out.size() > kMaxArgLength)
        out.resize(kMaxArgLength);
    return out;
}

int parse_time_word(const char* word)
{
    if (!word)
        return -1;
    const char* colon = std::strchr(word, ':');
    int minutes = 0;
    int seconds = 0;
    if (colon) {
        if (colon != word)
            minutes = leading_int(std::string(word, static_cast<std::size_t>(colon - word)).c_str());
        if (colon[1])
            seconds = leading_int(colon + 1);
    } else {
        minutes = leading_int(word);
    }
    if (minutes < 0 || seconds < 0 || (minutes < 1 && seconds < 1))
        return -1;
    // Seconds above 59 are simply added (1:75 is 135 seconds). Large values stop
    // at the int range rather than wrapping.
    long long value = static_cast<long long>(minutes) * 60 + seconds;
    return value > 0x7fffffff ? 0x7fffffff : static_cast<int>(value);
}
