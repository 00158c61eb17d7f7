// The live status files on the fake platform: what they hold, that hostile names
// stay text, when they are written, and what a failing directory does.
#include "relay/status/status_files.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "relay/gamelog/console_lines.h"
#include "relay/irc/output.h"
#include "relay/status/status_page.h"
#include "tests/support/connected_relay.h"

namespace {

using json = nlohmann::json;

struct StatusFilesTest : ::testing::Test {
    ConnectedRelay t;
    Relay& r = t.r();
    FakePlatform& fake = t.fake;

    void SetUp() override
    {
        r.settings.statusdir = std::string("/srv/status");
        fake.files["/srv/status"] = std::make_shared<FakeFileData>();
        fake.files["/srv/status"]->regular = false; // a directory
        r.settings.showconnectinfo = 64;
    }
    void feed(const std::string& line)
    {
        std::string copy = line;
        process_console_line(r, copy.data());
    }
    std::string file(const char* name) { return fake.file_content(std::string("/srv/status/") + name); }
    json status() { return json::parse(file("status.json")); }
};

} // namespace

TEST_F(StatusFilesTest, TheFilesHoldTheMatchAndHostileNamesStayText)
{
    r.teams.redteamname = "^1Crimson";
    feed("^1Alice^7 joined the red team.");
    feed("<script>alert(1)</script>^7 joined the blue team.");
    feed("\"><img src=x onerror=alert(1)>^7 joined the blue team.");
    feed("<script>alert(1)</script>^7 was shot by ^1Alice^7's M4");
    status_pump(r);

    const json s = status();
    EXPECT_EQ(s["schema"], 1);
    EXPECT_EQ(s["relay"]["irc"]["connected"], true);
    EXPECT_EQ(s["relay"]["mode"], "client");
    EXPECT_EQ(s["game"]["red"]["name"], "Crimson");
    EXPECT_EQ(s["game"]["red"]["name_coloured"], "^1Crimson");
    ASSERT_EQ(s["players"].size(), 3u);
    EXPECT_EQ(s["players"][0]["name"], "Alice"); // most kills first
    EXPECT_EQ(s["players"][0]["name_coloured"], "^1Alice^7");
    EXPECT_EQ(s["players"][0]["team"], "red");
    EXPECT_EQ(s["players"][0]["kills"], 1);
    EXPECT_FALSE(s["players"][0].contains("ping")); // no status reply gave one
    EXPECT_EQ(s["players"][2]["deaths"], 1); // fewest deaths first among equals
    EXPECT_EQ(s["totals"]["kills"], 1);
    ASSERT_FALSE(s["events"].empty());
    EXPECT_NE(s["events"].back()["text"].get<std::string>().find("was shot by"), std::string::npos);
    EXPECT_EQ(s["events"].back()["text"].get<std::string>().find('\x03'), std::string::npos);

    const std::string page = file("index.html");
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    EXPECT_NE(page.find("<span class=\"c1\">Crimson</span>"), std::string::npos);
    EXPECT_EQ(page.find("http"), std::string::npos); // nothing fetched from elsewhere

    const std::string metrics = file("metrics.prom");
    for (const char* line : {"tidecore_up 1\n", "tidecore_irc_connected 1\n", "tidecore_kills_total 1\n",
                             "tidecore_players{team=\"blue\"} 2\n", "tidecore_team_score{team=\"red\"} 0\n",
                             "# TYPE tidecore_log_lines_read_total counter\n"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line;
}

TEST_F(StatusFilesTest, WrittenWithinASecondOfAChangeAtMostTwiceASecond)
{
    r.settings.showconnectinfo = 0; // joins without reports: no pacing pauses
    status_pump(r);
    const int first = fake.replaces;
    EXPECT_EQ(first, 3);
    // Changes keep coming (a catch-up): at most one write every half second.
    const long long start = fake.clock_ms;
    for (int i = 0; i < 1000; ++i) {
        feed("Bob" + std::to_string(i) + "^7 joined the red team.");
        ++r.log.linesread;
        fake.clock_ms += 5;
        status_pump(r);
    }
    const int writes = (fake.replaces - first) / 3;
    EXPECT_LE(writes, static_cast<int>((fake.clock_ms - start) / kStatusMinGapMs) + 1);
    EXPECT_GE(writes, 9);
    // Quiet: the loop is asked back only to refresh the age gauges.
    fake.clock_ms += 1000;
    status_pump(r);
    const int settled = fake.replaces;
    EXPECT_GE(status_due_ms(r) - fake.clock_ms, 10000);
    status_pump(r);
    EXPECT_EQ(fake.replaces, settled);

    // Without the key no file is written and nothing is due.
    r.settings.statusdir.reset();
    feed("Zed^7 joined the red team.");
    status_pump(r);
    EXPECT_EQ(fake.replaces, settled);
    EXPECT_EQ(status_due_ms(r), -1);
}

TEST_F(StatusFilesTest, AFailingDirectoryIsSaidOnceAndTriedAgain)
{
    fake.replace_failure = "No space left on device";
    for (int i = 0; i < 5; ++i) {
        feed("Bob" + std::to_string(i) + "^7 joined the red team.");
        fake.clock_ms += 6000;
        status_pump(r);
    }
    EXPECT_EQ(fake.out, "Cannot write the status file /srv/status/status.json: No space left on device (trying again).\n");
    fake.replace_failure.clear();
    fake.clock_ms += 6000;
    status_pump(r);
    EXPECT_EQ(fake.replaces, 3);
    EXPECT_NE(fake.out.find("written again"), std::string::npos);
    EXPECT_EQ(status()["players"].size(), 5u);

    fake.out.clear();
    r.settings.statusdir = std::string("/srv/none");
    status_pump(r);
    EXPECT_EQ(fake.out, "The status directory /srv/none is not a directory: no status files until it is.\n");
}

TEST(StatusPage, ColouredNamesAreEscapedText)
{
    EXPECT_EQ(html_coloured("^1<b>^7x"), "<span><span class=\"c1\">&lt;b&gt;</span><span class=\"c7\">x</span></span>");
    EXPECT_EQ(html_escape("a&'\"\x01"), "a&amp;&#39;&quot;");
}
