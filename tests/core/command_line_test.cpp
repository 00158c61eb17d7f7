#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/app/command_line.h"
#include "tests/support/relay_fixture.h"

namespace {

// Runs the scan on a command line; returns the exit code, or -1 when it returned.
int scan(TestRelay& t, std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    try {
        parse_command_line(t.r(), static_cast<int>(args.size()), argv.data());
    } catch (const FakeExit& e) {
        return e.code;
    }
    return -1;
}

const char* kUsageDefaults =
    "\nQuillon's SOF2 Tidewatch v1.2 \n\n"
    "Usage: tidecore [-a] [-b pass] [-c] [-d port] [-e nick] [-f pass]\n"
    "\t\t[-g] [-h] [-i] [-j key] [-k language] [-l language]\n"
    "\t\t[-m] [-n nick] [-o] [-p port] [-q] [-r #lines] [-s #frags]\n"
    "\t\t[-t] [-u user] [-v] [-w host] [-x mapfile] [-y colorfile] [-z]\n"
    "\t\t[-A] [-B pass] [-C] [-F] [-I] [-P] [-O osp_options]\n"
    "\t\thost #channel logfile\n\n"
    "\thost: irc host to connect to.\n"
    "\t#channel: irc channel to join to.\n"
    "\tlogfile: the SOF2 logfile.\n\n"
    "\t-a wait 1 minute before starting.\n"
    "\t-b password: use this pass to authorize the owner on IRC.\n"
    "\t-c show playerstats [kills/deaths] during each frag line.\n"
    "\t-d port: SOF2 server UDP port. [default: 27960]\n"
    "\t-e qnick: nickname used for Quakenet Q auth. [default -n nick]\n"
    "\t-f qpass: password used for Quakenet Q auth.\n"
    "\t-g start sending info from the end of the logfile.\n"
    "\t-h this help.\n"
    "\t-i turn nice mode on.\n"
    "\t-j key: the key to join the IRC channel.\n"
    "\t-k output language. EN=0/DE=1/NL=2. [default: 0]\n"
    "\t-l logfile language. EN=0/DE=1/NL=2. [default: 0]\n"
    "\t-m turn on team/global messages.\n"
    "\t-n nick: nickname to use on irc channel. [default: SOF2Tidewatch]\n"
    "\t-o turn OSP mode on.\n"
    "\t-p port: irc port to connect to. [default: 6667]\n"
    "\t-q quiet mode.\n"
    "\t-r #lines: start after processing #lines.\n"
    "\t-s #frags: show stats after processing #frags.\n\t   Must be greater or equal than 20 or 0. [default: 80]\n"
    "\t-t turn TEAM mode on.\n"
    "\t-u user: username to use on irc host. [default: Ferrobot]\n"
    "\t-v turn server mode on.\n"
    "\t-w host: SOF2 server.\n"
    "\t-x mapfile: path to the map info file. [default: mapinfo_sof2.xml]\n"
    "\t-y colorfile: path to the irc color file. [default: irccolors_sof2.cfg]\n"
    "\t-z use time on client side\n"
    "\t-A turn bouncer mode on.\n"
    "\t-B password: use this password to authorize to your bouncer/irc server\n"
    "\t-C use clantags to team up the players\n"
    "\t-F set showfrags to OFF\n"
    "\t-I set irc floodprotect to ON\n"
    "\t-O osp_options: turn on some server side OSP options\n"
    "\t-P set showplay to OFF\n\n";

} // namespace

TEST(CommandLine, HelpPrintsUsageExactlyAndExitsZeroAfterPause)
{
    TestRelay t;
    EXPECT_EQ(scan(t, {"tidecore", "-h"}), 0);
    EXPECT_EQ(t.fake.out, kUsageDefaults);
    EXPECT_EQ(t.fake.slept_ms, 5000);

    TestRelay t2;
    EXPECT_EQ(scan(t2, {"tidecore", "-q", "-h", "irc", "#c", "log"}), 0);
}

TEST(CommandLine, BadCommandLinesExitTwoWithUsage)
{
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"tidecore"},
             {"tidecore", "irc.example"},
             {"tidecore", "-Q", "irc", "#c", "log"},
             {"tidecore", "-", "irc", "#c", "log"},
             {"tidecore", "-q", "irc", "#c"},  // only two positional arguments
             {"tidecore", "-q", "-q", "-n"},   // the value of -n is missing
         }) {
        TestRelay t;
        EXPECT_EQ(scan(t, args), 2) << args.size();
        EXPECT_NE(t.fake.out.find("Usage: tidecore"), std::string::npos);
    }
}

TEST(CommandLine, UsageShowsValuesScannedBeforeTheUnknownOption)
{
    TestRelay t;
    EXPECT_EQ(scan(t, {"tidecore", "-n", "Watcher", "-k", "2", "-s", "5", "-X", "irc", "#c", "log"}), 2);
    EXPECT_NE(t.fake.out.find("[default: Watcher]"), std::string::npos);
    EXPECT_NE(t.fake.out.find("EN=0/DE=1/NL=2. [default: 2]"), std::string::npos);
    EXPECT_NE(t.fake.out.find("or 0. [default: 5]"), std::string::npos);
}

TEST(CommandLine, DefaultsAndPositionalArguments)
{
    TestRelay t;
    ASSERT_EQ(scan(t, {"tidecore", "irc.example.org", "#clan", "qconsole.log"}), -1);
    const BotSettings& s = t.r().settings;
    EXPECT_EQ(*s.irchost, "irc.example.org");
    EXPECT_EQ(*s.channel, "#clan");
    EXPECT_EQ(*s.logfile, "qconsole.log");
    EXPECT_EQ(*s.ircport, "6667");
    EXPECT_EQ(*s.serverport, "27960");
    EXPECT_FALSE(s.serverhost);
    EXPECT_EQ(*s.bounceruser, "Ferrobot");
    EXPECT_EQ(s.statsafter, 80);
    EXPECT_EQ(s.recoverlines, 0);
    EXPECT_EQ(s.teammode, 1);
    EXPECT_EQ(s.messages, 1); // chat relaying off
    EXPECT_EQ(t.fake.out, "");
}

TEST(CommandLine, EveryOptionSetsItsFieldAndMark)
{
    TestRelay t;
    ASSERT_EQ(scan(t, {"tidecore", "-b", "pw", "-c", "-d", "27961", "-e", "qn", "-f", "qp", "-i", "-j", "key", "-k", "1",
                       "-l", "1", "-m", "-n", "Nick", "-o", "-p", "7000", "-q", "-t", "-u", "usr", "-v", "-w", "game.example",
                       "-x", "maps.xml", "-y", "cols.cfg", "-z", "-A", "-B", "bp", "-C", "-F", "-I", "-P", "-O", "12",
                       "irc", "#c", "log"}),
              -1);
    const BotSettings& s = t.r().settings;
    EXPECT_EQ(*s.botpass, "pw");
    EXPECT_EQ(s.botpass_cmdline, 1);
    EXPECT_EQ(s.playerstats, 1);
    EXPECT_EQ(s.playerstats_cmdline, 1);
    EXPECT_EQ(*s.serverport, "27961");
    EXPECT_EQ(*s.qnick, "qn");
    EXPECT_EQ(*s.qpass, "qp");
    EXPECT_EQ(s.nicemode, 1);
    EXPECT_EQ(*s.channelkey, "key");
    EXPECT_EQ(s.langout, 1);
    EXPECT_EQ(s.langin, 1);
    EXPECT_EQ(s.messages, 0);
    EXPECT_EQ(*s.nick, "Nick");
    EXPECT_EQ(s.osp, 1);
    EXPECT_EQ(*s.ircport, "7000");
    EXPECT_EQ(s.quietmode, 1);
    EXPECT_EQ(*s.bounceruser, "usr");
    EXPECT_EQ(s.bounceruser_cmdline, 1);
    EXPECT_EQ(s.servermode, 1);
    EXPECT_EQ(*s.serverhost, "game.example");
    EXPECT_EQ(*s.mapfile, "maps.xml");
    EXPECT_EQ(*s.colorfile, "cols.cfg");
    EXPECT_EQ(s.usetime, 1);
    EXPECT_EQ(s.usetime_cmdline, 1);
    EXPECT_EQ(s.bouncer, 1);
    EXPECT_EQ(s.bouncer_cmdline, 1);
    EXPECT_EQ(*s.bouncerpass, "bp");
    EXPECT_EQ(s.bouncerpass_cmdline, 1);
    EXPECT_EQ(s.useclantags, 1);
    EXPECT_EQ(s.useclantags_cmdline, 1);
    EXPECT_EQ(s.showfrags, 0);
    EXPECT_EQ(s.floodprotect, 1);
    EXPECT_EQ(s.floodprotect_cmdline, 1);
    EXPECT_EQ(s.showplay, 0);
    // -O 12 in server mode: revives and repairs.
    EXPECT_EQ(s.ospshow, 12);
    EXPECT_EQ(s.ospshowobjective, 0);
    EXPECT_EQ(s.ospshowdyna, 0);
    EXPECT_EQ(s.ospshowrevives, 1);
    EXPECT_EQ(s.ospshowrepairs, 1);
}

TEST(CommandLine, ValueRulesAndFallbacks)
{
    struct Case {
        std::vector<std::string> opts;
        int langout, langin, statsafter, ospshow, ospshowrevives;
    };
    for (const Case& c : std::vector<Case>{
             {{"-k", "3"}, 0, 0, 80, 3, 0},
             {{"-k", "-1"}, 0, 0, 80, 3, 0},
             {{"-l", "2"}, 0, 0, 80, 3, 0},  // listed as NL, read as English
             {{"-k", " 2x"}, 2, 0, 80, 3, 0},
             {{"-s", "5"}, 0, 0, 20, 3, 0},
             {{"-s", "0"}, 0, 0, 0, 3, 0},
             {{"-s", "-3"}, 0, 0, 20, 3, 0},
             {{"-s", "abc"}, 0, 0, 0, 3, 0},
             {{"-s", "120"}, 0, 0, 120, 3, 0},
             {{"-O", "-1"}, 0, 0, 80, 3, 0},
             {{"-O", "12"}, 0, 0, 80, 12, 0},  // client mode: the flags stay 0
             {{"-k2", "1"}, 1, 0, 80, 3, 0},   // value glued to the letter is ignored
             {{"-qx"}, 0, 0, 80, 3, 0},
         }) {
        TestRelay t;
        std::vector<std::string> args{"tidecore"};
        args.insert(args.end(), c.opts.begin(), c.opts.end());
        args.insert(args.end(), {"irc", "#c", "log"});
        ASSERT_EQ(scan(t, args), -1) << c.opts[0];
        const BotSettings& s = t.r().settings;
        EXPECT_EQ(s.langout, c.langout) << c.opts[0];
        EXPECT_EQ(s.langin, c.langin) << c.opts[0];
        EXPECT_EQ(s.statsafter, c.statsafter) << c.opts[0];
        EXPECT_EQ(s.ospshow, c.ospshow) << c.opts[0];
        EXPECT_EQ(s.ospshowrevives, c.ospshowrevives) << c.opts[0];
    }
}

TEST(CommandLine, CatchingUpModes)
{
    TestRelay t;
    t.fake.write_file("q.log", std::string(1234, 'x'));
    ASSERT_EQ(scan(t, {"tidecore", "-r", "100", "-g", "irc", "#c", "q.log"}), -1);
    EXPECT_EQ(t.r().settings.recoverlines, 100);
    EXPECT_EQ(t.r().settings.fromend, 1234);
    EXPECT_EQ(t.fake.out, "Recovering from 100 lines...\n");

    TestRelay missing;
    ASSERT_EQ(scan(missing, {"tidecore", "-q", "-g", "-r", "-5", "irc", "#c", "nolog"}), -1);
    EXPECT_EQ(missing.r().settings.fromend, 0);
    EXPECT_EQ(missing.r().settings.recoverlines, 0);
    EXPECT_EQ(missing.fake.out, "");

    TestRelay waits;
    ASSERT_EQ(scan(waits, {"tidecore", "-a", "irc", "#c", "log"}), -1);
    EXPECT_EQ(waits.fake.slept_ms, 60000);
}

TEST(Trace, OpensAtLevelAboveZeroAndAppendsEachRun)
{
    TestRelay none;
    ASSERT_EQ(scan(none, {"tidecore", "-D", "0", "irc", "#c", "log"}), -1);
    EXPECT_EQ(none.fake.files.count(kTracePath), 0u);

    FakePlatform shared;
    for (int run = 0; run < 2; ++run) {
        Relay r(shared);
        std::vector<std::string> args{"tidecore", "-D", "5", "irc", "#c", "log"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        parse_command_line(r, static_cast<int>(argv.size()), argv.data());
        trace(r, 11, "not at level 5\r\n");
        trace(r, 5, "level %d\r\n", 5);
        EXPECT_THROW(exit_program(r, 0), FakeExit);
    }
    const std::string one = "------\nLOGFILE OPENED\n------\nlevel 5\r\n\r\n-- CLOSING DEBUG FILE --\r\n";
    EXPECT_EQ(shared.file_content(kTracePath), one + one);
    EXPECT_EQ(shared.slept_ms, 10000);
}

TEST(CommandLine, ValuesThatWouldBreakTheSessionAreRefused)
{
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"-p", "99999", "irc", "#c", "log"}, 2},
        {{"-p", "-1", "irc", "#c", "log"}, 2},
        {{"-p", "66x", "irc", "#c", "log"}, 2},
        {{"-p", "0", "irc", "#c", "log"}, 2},
        {{"-d", "port", "irc", "#c", "log"}, 2},
        {{"irc", "clan", "log"}, 2},          // a nick, not a channel
        {{"irc", "", "log"}, 2},
        {{"irc", "#a b", "log"}, 2},
        {{"irc", "#a\r\nQUIT", "log"}, 2},
        {{"irc", "#a,,#b", "log"}, 2},
        {{"irc", "#", "log"}, 2},
        {{"", "#c", "log"}, 2},
        {{"-j", "k e y", "irc", "#c", "log"}, 2},
        {{"-n", "two words", "irc", "#c", "log"}, 2},
        {{"-w", "", "irc", "#c", "log"}, 2},
        // Still fine: a channel list, other channel prefixes, the highest port.
        {{"-p", "65535", "irc", "#a,#b,&c", "log"}, -1},
        {{"-d", "27961", "-w", "127.0.0.1", "irc", "#c", "log"}, -1},
    };
    for (const Case& c : cases) {
        TestRelay t;
        std::vector<std::string> args{"tidecore"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(scan(t, args), c.code) << visible(c.args[c.args.size() - 2]) << " " << c.args[0];
        if (c.code == 2) {
            EXPECT_NE(t.fake.out.find("Invalid "), std::string::npos) << t.fake.out;
        }
    }
}
