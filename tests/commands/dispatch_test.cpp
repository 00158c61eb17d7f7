#include <algorithm>
#include <string>
#include <vector>

#include "relay/commands/args.h"
#include "relay/commands/dispatch.h"
#include "tests/commands/command_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kAuthorised = "PRIVMSG Boss :{C}12,0 You have been AUTHORIZED SUCCESSFULLY!";

TEST_F(CommandTest, PassAuthorisesWhateverTheCaseOfTheCommandWord)
{
    for (const char* word : {"!pass", "!PASS", "!Pass"}) {
        r.commands.botowner.reset();
        EXPECT_EQ(command(std::string(word) + " s3cret"), (Lines{kBossBanner, kAuthorised})) << word;
        EXPECT_EQ(r.commands.botowner, std::string("Boss"));
    }
}

TEST_F(CommandTest, WrongPasswordsAndStrangersGetSilence)
{
    EXPECT_TRUE(command("!pass S3CRET").empty()); // the password is case-sensitive
    EXPECT_TRUE(command("!pass").empty());
    EXPECT_FALSE(r.commands.botowner);
    EXPECT_TRUE(command("!help").empty()); // nobody is owner yet

    t.fake.sleep_ms(10000); // past the wait after a wrong password
    own();
    t.clear_sent();
    msg("Stranger", "!silent on");
    msg("Stranger", "!pass wrong");
    msg("Boss", "!silent on", "#chan"); // channel messages are never commands
    msg("Boss", "silent on");           // no "!"
    msg("Boss", "!nosuchcommand");
    EXPECT_TRUE(t.lines().empty());
    EXPECT_EQ(r.settings.silent, 0);
    EXPECT_EQ(r.commands.botowner, std::string("Boss"));
}

TEST_F(CommandTest, WithoutABotPasswordNobodyBecomesOwner)
{
    r.settings.botpass.reset();
    EXPECT_TRUE(command("!pass s3cret").empty());
    EXPECT_TRUE(command("!pass ").empty());
    EXPECT_TRUE(command("!help").empty());
}

TEST_F(CommandTest, TheOwnerIsToldWhenSomeoneElseAuthorises)
{
    own();
    EXPECT_EQ(command("!pass s3cret"),
              (Lines{kBossBanner, "PRIVMSG Boss :{C}12,0 Boss is now the new botowner!", kBossBanner, kAuthorised}));
    t.clear_sent();
    msg("Heir", "!pass s3cret");
    EXPECT_EQ(shown(), (Lines{kBossBanner, "PRIVMSG Boss :{C}12,0 Heir is now the new botowner!",
                              "PRIVMSG Heir :{C}1,15 Quillon's SOF2 Tidewatch v1.2 ",
                              "PRIVMSG Heir :{C}12,0 You have been AUTHORIZED SUCCESSFULLY!"}));
    EXPECT_TRUE(command("!linesread").empty()); // Boss is no longer obeyed
}

TEST_F(CommandTest, TheOwnerKeepsOwnershipUnderANewNick)
{
    own();
    deliver(":Boss!user@host NICK :Chief");
    EXPECT_EQ(r.commands.botowner, std::string("Chief"));
    EXPECT_TRUE(command("!linesread").empty());
    t.clear_sent();
    msg("Chief", "!linesread");
    EXPECT_EQ(t.lines().size(), 2u);
    EXPECT_EQ(visible(t.lines()[1]), "PRIVMSG Chief :{C}1,0 LINES read:{C}12 0");
}

TEST_F(CommandTest, HelpListsFourLinesForAnyoneAndFiftyOneForTheOwner)
{
    own();
    Lines help = command("!help");
    ASSERT_EQ(help.size(), 51u);
    EXPECT_EQ(help[0], kBossBanner);
    EXPECT_EQ(help[1], to_boss("{C}5,0 AVAILABLE COMMANDS (* ONLY BY PRIVMSG, # SERVER MODE ONLY, $ CLIENT MODE "
                               "ONLY, O OWNER ONLY):"));
    EXPECT_EQ(help[3], to_boss("{C}12,0 !pass password {C}5,0(*): enter password to get bot ownership"));
    EXPECT_EQ(help[29], to_boss("{C}12,0 !server address port {C}5,0(*O): set the SOF2 server"));
    EXPECT_EQ(help[50], to_boss("{C}12,0 !weaponstats on|off {C}5,0(*O): turn weaponstats on|off"));
    EXPECT_TRUE(command("!help").size() == 51u);
    // Built from the command rows, the owner's help stays byte for byte as it was.
    t.clear_sent();
    show_help(r, "Boss");
    uint64_t digest = 1469598103934665603ULL;
    for (unsigned char c : t.sent())
        digest = (digest ^ c) * 1099511628211ULL;
    EXPECT_EQ(t.sent().size(), 4121u);
    EXPECT_EQ(digest, 0x8a86c8c895858999ULL);

    t.clear_sent();
    msg("Boss", "!help", "#chan");
    EXPECT_TRUE(t.lines().empty());

    t.clear_sent();
    show_help(r, "Someone");
    EXPECT_EQ(t.lines().size(), 4u);
}

TEST_F(CommandTest, AllTimeCommandsExistOnlyWithAStatisticsDatabase)
{
    own();
    // Without a database: unknown, and not in the help (the help above is unchanged).
    EXPECT_TRUE(command("!top").empty());
    EXPECT_TRUE(command("!player Alpha").empty());

    const std::string path = ::testing::TempDir() + "alltime_commands_test.db";
    std::remove(path.c_str());
    r.settings.statsdb = path;
    r.statsdb.path = path;
    Lines help = command("!help");
    ASSERT_EQ(help.size(), 53u);
    EXPECT_EQ(help[24], to_boss("{C}12,0 !player name {C}5,0(*O): show a player's all-time stats"));
    EXPECT_EQ(help[25], to_boss("{C}12,0 !playerstats on|off {C}5,0(*O): turn playerstats on|off"));
    EXPECT_EQ(help[49], to_boss("{C}12,0 !top n {C}5,0(*O): show the n best players of all time (10, at most 20)"));

    // An empty database answers so; a word that is no count is refused.
    EXPECT_EQ(command("!top"), Lines({kBossBanner, to_boss("{C}1,0 no all-time statistics yet")}));
    EXPECT_EQ(command("!top x").size(), 3u);
    EXPECT_EQ(command("!player").size(), 3u);
    EXPECT_EQ(command("!player Nobody"),
              Lines({kBossBanner, to_boss("{C}1,0 No all-time statistics for Nobody")}));
    statsdb_close(r);
    std::remove(path.c_str());
}

TEST_F(CommandTest, CommandsOfTheOtherModeAreUnknown)
{
    own();
    r.settings.servermode = 1;
    EXPECT_TRUE(command("!map mp_jor1").empty());
    EXPECT_TRUE(command("!usetime on").empty());
    EXPECT_FALSE(r.game.map);
    EXPECT_EQ(command("!ospshow 5").size(), 6u);

    r.settings.servermode = 0;
    EXPECT_TRUE(command("!ospshow 5").empty());
    EXPECT_EQ(command("!MAP mp_jor1").size(), 3u);
}

TEST_F(CommandTest, WordCountAndArgumentErrors)
{
    own();
    const std::string args5 = to_boss("{C}5,0 INVALID NUMBER OF ARGUMENTS!");
    const std::string help = to_boss("{C}5,0 Try !help for more info about a command");
    EXPECT_EQ(command("!channel"), (Lines{kBossBanner, args5, help}));
    EXPECT_EQ(command("!channel tidewatch"), (Lines{kBossBanner, to_boss("{C}5,0 INVALID ARGUMENT SEND!"), help}));
    // A line break in the name would cut every later JOIN and report short.
    EXPECT_EQ(command("!channel #a\rJOIN"), (Lines{kBossBanner, to_boss("{C}5,0 INVALID ARGUMENT SEND!"), help}));
    EXPECT_EQ(command("!newpass s3cret new"), (Lines{kBossBanner, args5, help}));
    EXPECT_EQ(command("!newpass wrong new new"),
              (Lines{kBossBanner, to_boss("{C}5,0 AUTHORISATION UNSUCCESSFULL!"),
                     to_boss("{C}5,0 The password was incorrect!")}));
    EXPECT_EQ(command("!newpass s3cret new neu"),
              (Lines{kBossBanner, to_boss("{C}5,0 PASSWORD MISSMATCH!"),
                     to_boss("{C}5,0 The password verification failed!")}));
    EXPECT_EQ(r.settings.botpass, std::string("s3cret"));
    EXPECT_EQ(r.settings.channel, std::string("#chan"));
}

TEST_F(CommandTest, NewPassReplacesThePassword)
{
    own();
    EXPECT_EQ(command("!newpass s3cret n3w n3w"),
              (Lines{kBossBanner,
                     to_boss("{C}1,0 PASSWORD CHANGED {C}12SUCCESSFULLY {C}1FROM{C}5 s3cret {C}1TO{C}12 n3w")}));
    r.commands.botowner.reset();
    EXPECT_TRUE(command("!pass s3cret").empty());
    t.fake.sleep_ms(10000);
    EXPECT_EQ(command("!pass n3w").size(), 2u);
}

TEST_F(CommandTest, PasswordGuessingIsSlowedDownPerUserHostSilently)
{
    auto try_pass = [&](const std::string& prefix, const std::string& pass) {
        t.clear_sent();
        deliver(":" + prefix + " PRIVMSG SOF2Tidewatch :!pass " + pass);
        return !t.lines().empty();
    };
    // A wrong password: that user@host is ignored for a few seconds, even with the
    // right one and under another nick; other user@hosts are not.
    EXPECT_FALSE(try_pass("Mallory!m@evil", "guess1"));
    EXPECT_FALSE(try_pass("Nice!m@evil", "s3cret"));
    EXPECT_TRUE(try_pass("Mallory!m@good", "s3cret"));
    t.fake.sleep_ms(3000);
    EXPECT_TRUE(try_pass("Mallory!m@evil", "s3cret"));

    // Each further failure doubles the wait, up to five minutes; attempts within
    // the wait are not even counted. Many guessers never hold up the owner.
    std::vector<long long> waits;
    for (int i = 0; i < 9; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_FALSE(try_pass("Mallory" + n + "!m@evil", "guess"));
        const long long until = r.commands.passhosts["m@evil"].until;
        waits.push_back(until - t.fake.now());
        EXPECT_FALSE(try_pass("Other" + n + "!o@host" + n, "guess"));
        EXPECT_FALSE(try_pass("Mallory!m@evil", "s3cret"));
        EXPECT_TRUE(try_pass("Boss!b@home", "s3cret")) << i; // its replies take a few seconds
        t.fake.clock_ms = std::max(t.fake.clock_ms, until * 1000);
    }
    EXPECT_EQ(waits, (std::vector<long long>{3, 6, 12, 24, 48, 96, 192, 300, 300}));
    EXPECT_TRUE(try_pass("MALLORY!m@evil", "s3cret"));

    // A guesser trying every second gets 18 guesses in the first hour and 12 in
    // each later one (as the README says); a quiet hour starts it afresh.
    t.fake.sleep_ms(3601 * 1000);
    std::vector<int> per_hour(3);
    for (int second = 0; second < 3 * 3600; ++second) {
        const int before = r.commands.passhosts["g@guess"].failures;
        try_pass("Guesser!g@guess", "guess");
        per_hour[second / 3600] += r.commands.passhosts["g@guess"].failures - before;
        t.fake.sleep_ms(1000);
    }
    EXPECT_EQ(per_hour, (std::vector<int>{18, 12, 12}));
}

// Only a sender whose prefix has a nick and a user@host can authorise; the
// others get no reply (and no malformed line to an empty nick).
TEST_F(CommandTest, OnlyAPrefixWithNickAndUserHostAuthorises)
{
    const std::pair<const char*, bool> prefixes[] = {
        {":Boss", false},   {":Boss!b", false}, {":Boss@home", false}, {":Boss!@home", false},
        {":Boss!b@", false}, {":!b@home", false}, {":", false},        {":Boss!b@home", true},
    };
    for (const auto& [prefix, authorises] : prefixes) {
        r.commands.botowner.reset();
        r.commands.passhosts.clear();
        t.clear_sent();
        deliver(std::string(prefix) + " PRIVMSG SOF2Tidewatch :!pass s3cret");
        EXPECT_EQ(t.lines().size(), authorises ? 2u : 0u) << prefix;
        EXPECT_EQ(r.commands.botowner.has_value(), authorises) << prefix;
    }
}

// The owner is the nick and the user@host that authorised.
TEST_F(CommandTest, OnlyTheOwnersNickAndUserHostAreObeyed)
{
    own(); // Boss!user@host
    const std::pair<const char*, bool> senders[] = {
        {":Boss!user@elsewhere", false}, {":Boss!other@host", false}, {":Boss", false},
        {":!user@host", false},          {":BOSS!user@host", true},   {":Boss!user@host", true},
    };
    for (const auto& [prefix, obeyed] : senders) {
        t.clear_sent();
        deliver(std::string(prefix) + " PRIVMSG SOF2Tidewatch :!linesread");
        EXPECT_EQ(t.lines().size(), obeyed ? 2u : 0u) << prefix;
    }
    // Once the owner quits, its nick and user@host are nobody's.
    deliver(":Boss!user@host QUIT :gone");
    EXPECT_TRUE(command("!linesread").empty());
    EXPECT_FALSE(r.commands.botowner);
}

TEST(SplitArgs, WordsAreCutAtBlanksOnly)
{
    FakePlatform fake;
    Relay r(fake);
    ArgVector a;
    EXPECT_EQ(split_args(r, "!score   red  5", a), 3);
    EXPECT_EQ(a.words[0], "!score");
    EXPECT_EQ(a.words[2], "5");
    EXPECT_EQ(split_args(r, "  a\tb  ", a), 1); // a tab is part of a word
    EXPECT_EQ(a.words[0], "a\tb");
    EXPECT_EQ(split_args(r, "   ", a), 0);

    std::string many;
    for (int i = 0; i < 25; ++i)
        many += "w" + std::to_string(i) + " ";
    EXPECT_EQ(split_args(r, many.c_str(), a), 20);
    EXPECT_EQ(a.words[19], "w19");

    const std::string longword(1500, 'x');
    EXPECT_EQ(split_args(r, (longword + " next").c_str(), a), 2);
    EXPECT_EQ(a.words[0].size(), 1023u);
    EXPECT_EQ(a.words[1], "next");
    EXPECT_EQ(join_words(a, 0).size(), 1023u);
}

TEST(TimeWords, MinutesColonSeconds)
{
    struct Case {
        const char* word;
        int seconds;
    };
    const Case cases[] = {
        {"20", 1200}, {":45", 45}, {"5:00", 300}, {"1:75", 135}, {"3:", 180},
        {"0:00", -1}, {"-1:30", -1}, {"1:-5", -1}, {"abc", -1},  {":", -1}, {"", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_time_word(c.word), c.seconds) << c.word;
    EXPECT_EQ(parse_time_word(nullptr), -1);
}

} // namespace

namespace {

TEST_F(CommandTest, PasswordsStayOutOfTheTraceBelowItsMostDetailedLevel)
{
    t.trace_on(11);
    msg("Boss", "!pass s3cret");
    msg("Boss", "!newpass s3cret n3wpw n3wpw");
    const std::string traced = t.traced();
    EXPECT_NE(traced.find("arg[3][!pass ...]"), std::string::npos) << traced;
    EXPECT_EQ(traced.find("s3cret"), std::string::npos) << traced;
    EXPECT_EQ(traced.find("n3wpw"), std::string::npos) << traced;
    EXPECT_EQ(t.fake.out.find("s3cret"), std::string::npos);
}

} // namespace
