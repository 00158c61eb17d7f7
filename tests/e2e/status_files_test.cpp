// The live status files end to end: the real tidecore keeps status.json,
// index.html and metrics.prom while it relays a scripted match, and the real
// programs that read them do: headless Chromium loads the page from a loopback web
// server, promtool checks the metrics, node_exporter serves them, and a reader
// never sees a file half written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/e2e/support/channel_reports.h"
#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/net.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool have(const char* program)
{
    return ::access(program, X_OK) == 0;
}

// Runs a program to its end (at most timeout_ms); its output, and its exit code.
std::string run(const TempDir& dir, const std::vector<std::string>& argv, int timeout_ms, int& code)
{
    static int n = 0;
    const std::string out = dir.file("run" + std::to_string(++n) + ".out");
    Process p;
    code = -1;
    if (!p.start(argv, dir.path(), out))
        return "";
    if (!p.wait_exit(timeout_ms)) {
        p.stop(1000);
        return slurp(out);
    }
    code = p.exit_code();
    return slurp(out);
}

struct StatusFilesE2E : ChannelFixture {
    ChannelReports channel{watcher, kChannel, kRelayNick};
    std::string statusdir = dir.subdir("status");
    std::string logfile = dir.write("qconsole.log", "");

    void SetUp() override
    {
        ChannelFixture::SetUp();
        dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\nstatusdir=" + statusdir + "\n");
    }
    nlohmann::json status() { return nlohmann::json::parse(slurp(statusdir + "/status.json"), nullptr, false); }
};

} // namespace

TEST_F(StatusFilesE2E, ThePageMetricsAndStatusOfAMatchAsTheirReadersSeeThem)
{
    // A link planted in place of a file is replaced, never written through.
    const std::string victim = dir.write("victim.txt", "untouched\n");
    ASSERT_EQ(::symlink(victim.c_str(), (statusdir + "/metrics.prom").c_str()), 0);
    ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick)));
    ASSERT_TRUE(channel.next(20000)) << relay.output();
    dir.append("qconsole.log", "^1Alice^7 joined the red team.\n"
                               "<script>alert(1)</script>^7 joined the blue team.\n"
                               "\"><img src=x onerror=alert(1)>^7 joined the blue team.\n"
                               "<script>alert(1)</script>^7 was shot by ^1Alice^7's M4\n"
                               "^1Alice^7 has captured the Blue Flag!\n");
    ASSERT_FALSE(channel.until("SCORE:", 30000).empty()) << relay.output();
    nlohmann::json s;
    for (int i = 0; i < 50; ++i) {
        s = status();
        if (s.is_object() && s["players"].size() == 3 && !s["events"].empty() &&
            s["events"].back()["text"].get<std::string>().find("SCORE") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(s.is_object()) << relay.output();
    EXPECT_EQ(s["players"][0]["name"], "Alice");
    EXPECT_EQ(s["players"][0]["kills"], 1);
    EXPECT_EQ(s["relay"]["irc"]["joined"], true);

    EXPECT_EQ(slurp(victim), "untouched\n");
    struct stat st {};
    ASSERT_EQ(::lstat((statusdir + "/metrics.prom").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));

    // Everybody may read the files: the web server and node_exporter are other users.
    ASSERT_EQ(::stat((statusdir + "/index.html").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0444, 0444u);

    // What a browser without JavaScript shows: the file as written.
    const std::string page = slurp(statusdir + "/index.html");
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_NE(page.find(">Alice<"), std::string::npos);

    // Headless Chromium, the page served as a clan website would serve it.
    if (have("/usr/bin/chromium") && have("/usr/bin/python3")) {
        const int port = free_port();
        Process web;
        ASSERT_TRUE(web.start({"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", statusdir,
                               std::to_string(port)},
                              dir.path(), dir.file("web.out")));
        ASSERT_TRUE(wait_for_listener(port, 10000));
        int code = 0;
        const std::string dom =
            run(dir,
                {"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--user-data-dir=" + dir.subdir("chromium"), "--virtual-time-budget=8000", "--dump-dom",
                 "http://127.0.0.1:" + std::to_string(port) + "/index.html"},
                90000, code);
        web.stop(1000);
        ASSERT_EQ(code, 0) << dom;
        // Drawn again by the script from status.json: its clock carries no " UTC".
        const std::size_t updated = dom.find("id=\"updated\">");
        ASSERT_NE(updated, std::string::npos) << dom;
        EXPECT_EQ(dom.substr(updated, 40).find("UTC"), std::string::npos) << dom.substr(updated, 40);
        EXPECT_NE(dom.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << dom;
        EXPECT_EQ(dom.find("<img"), std::string::npos) << dom;
        EXPECT_NE(dom.find(">Alice<"), std::string::npos) << dom;
        EXPECT_NE(dom.find("<div class=\"score\">1</div>"), std::string::npos) << dom;
    }

    // promtool accepts the metrics.
    if (have("/usr/bin/promtool")) {
        int code = 0;
        const std::string said = run(dir, {"/bin/sh", "-c", "/usr/bin/promtool check metrics < " + statusdir + "/metrics.prom"},
                                     30000, code);
        EXPECT_EQ(code, 0) << said << slurp(statusdir + "/metrics.prom");
    }

    // node_exporter's textfile collector serves the relay's series.
    if (have("/usr/bin/prometheus-node-exporter") && have("/usr/bin/python3")) {
        const int port = free_port();
        Process exporter;
        ASSERT_TRUE(exporter.start({"/usr/bin/prometheus-node-exporter", "--web.listen-address=127.0.0.1:" + std::to_string(port),
                                    "--collector.disable-defaults", "--collector.textfile",
                                    "--collector.textfile.directory=" + statusdir},
                                   dir.path(), dir.file("exporter.out")));
        ASSERT_TRUE(wait_for_listener(port, 15000)) << slurp(dir.file("exporter.out"));
        int code = 0;
        const std::string served = run(
            dir, {"/usr/bin/python3", "-c",
                  "import urllib.request;print(urllib.request.urlopen('http://127.0.0.1:" + std::to_string(port) + "/metrics').read().decode())"},
            30000, code);
        exporter.stop(1000);
        EXPECT_EQ(code, 0) << served;
        EXPECT_NE(served.find("tidecore_up 1"), std::string::npos) << served;
        EXPECT_NE(served.find("tidecore_kills_total 1"), std::string::npos) << served;
        EXPECT_NE(served.find("tidecore_players{team=\"blue\"} 2"), std::string::npos) << served;
    }
}

TEST_F(StatusFilesE2E, AReaderNeverSeesAHalfWrittenFile)
{
    // An old log to catch up on, and lines that keep coming, all held back (-r):
    // the relay reads as fast as it can and rewrites the files twice a second.
    std::string old;
    for (int i = 0; i < 400; ++i)
        old += "Player" + std::to_string(i) + "^7 joined the " + (i % 2 ? "red" : "blue") + " team.\n";
    for (int i = 0; i < 100000; ++i)
        old += "Player" + std::to_string(i % 400) + "^7 was shot by Player" + std::to_string((i + 1) % 400) + "^7's M4\n";
    dir.write("qconsole.log", old);
    ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick, {"-r", "100000000"})));
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int round = 0; writing && round < 3000; ++round) {
            std::string more;
            for (int i = 0; i < 200; ++i)
                more += "Player" + std::to_string(i) + "^7 was shot by Player" + std::to_string(i + 1) + "^7's M4\n";
            dir.append("qconsole.log", more);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    int parsed = 0, partial = 0, missing = 0;
    std::string last;
    int rewrites = 0;
    for (int i = 0; i < 10000; ++i) {
        const std::string text = slurp(statusdir + "/status.json");
        if (text.empty()) {
            ++missing;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
        if (j.is_discarded() || !j.is_object() || !j.contains("events"))
            ++partial;
        else
            ++parsed;
        if (text != last)
            ++rewrites;
        last = text;
        std::this_thread::sleep_for(std::chrono::microseconds(300)); // a few seconds of reading in all
    }
    writing = false;
    writer.join();
    EXPECT_EQ(partial, 0);
    EXPECT_GE(parsed, 9000) << missing << " reads found no file";
    EXPECT_GE(rewrites, 3) << "the relay did not rewrite the file meanwhile";
    EXPECT_TRUE(relay.running());
}
