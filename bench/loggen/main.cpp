// tidewatch-loggen: writes a generated game log.
//   tidewatch-loggen [--server] [--lines N] [--seed S] [--players P] FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/loggen/log_generator.h"

int main(int argc, char** argv)
{
    LogGenOptions o;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--server"))
            o.server = true;
        else if (!std::strcmp(argv[i], "--lines") && more)
            o.lines = std::atoll(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && more)
            o.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--players") && more)
            o.players = std::atoi(argv[++i]);
        else
            path = argv[i];
    }
    if (!path) {
        std::fprintf(stderr, "usage: %s [--server] [--lines N] [--seed S] [--players P] FILE\n", argv[0]);
        return 2;
    }
    if (!generate_log_file(o, path)) {
        std::perror(path);
        return 1;
    }
    return 0;
}
