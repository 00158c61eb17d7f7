#include "tests/e2e/support/relay_process.h"

#ifndef TIDEWATCH_TIDECORE
#define TIDEWATCH_TIDECORE ""
#endif

namespace e2e {

std::vector<std::string> relay_args(int irc_port, const std::string& channel, const std::string& logfile,
                                    const std::string& nick, const std::vector<std::string>& options)
{
    std::vector<std::string> args = options;
    args.push_back("-p");
    args.push_back(std::to_string(irc_port));
    args.push_back("-n");
    args.push_back(nick);
    args.push_back("127.0.0.1");
    args.push_back(channel);
    args.push_back(logfile);
    return args;
}

std::string RelayProcess::program()
{
    return TIDEWATCH_TIDECORE;
}

bool RelayProcess::start(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    return process_.start(argv, dir_.path(), dir_.file("tidecore.out"));
}

std::string RelayProcess::output() const
{
    return read_text(dir_.file("tidecore.out"));
}

} // namespace e2e
