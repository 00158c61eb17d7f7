// Command line, checks and stored settings of the launcher, without any widgets.
#include "checks.h"
#include "process_starter.h"
#include "command_line.h"
#include "store.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace tidepanel;

namespace {

using Change = std::function<void(LauncherSettings &)>;

const QString kFirstRunLine = QStringLiteral(
    "tidecore -b \"KoVarn\" -p 6667 -n \"SOF2Tidewatch\" -u \"Ferrobot\" -s 0 -c "
    "-x \"mapinfo_sof2.xml\" -y \"irccolors_sof2.cfg\" -g -z -o irc.quakenet.org "
    "\"#RTCWTidewatch\" \"qconsole.log\" ");

// The first-run line with `from` replaced by `to` (one occurrence expected).
QString firstRunWith(const QString &from, const QString &to)
{
    Q_ASSERT(kFirstRunLine.count(from) == 1);
    QString line = kFirstRunLine;
    return line.replace(from, to);
}

struct LineRow {
    const char *name;
    Change change;
    QString expected;
};

const QList<LineRow> &lineRows()
{
    static const QList<LineRow> rows = {
        {"first run", [](LauncherSettings &) {}, kFirstRunLine},
        {"no bot password", [](LauncherSettings &s) { s.botPassword.clear(); },
         firstRunWith("-b \"KoVarn\" ", "")},
        {"no nick, no user",
         [](LauncherSettings &s) {
             s.ircNick.clear();
             s.ircUser.clear();
         },
         firstRunWith("-n \"SOF2Tidewatch\" -u \"Ferrobot\" ", "")},
        {"other irc port", [](LauncherSettings &s) { s.ircPort = "7000"; }, firstRunWith("-p 6667 ", "-p 7000 ")},
        {"stats after 80", [](LauncherSettings &s) { s.kills = "80"; }, firstRunWith("-s 0 ", "-s 80 ")},
        {"stats off", [](LauncherSettings &s) { s.killsEnable = false; }, firstRunWith("-s 0 ", "")},
        {"player stats off", [](LauncherSettings &s) { s.playerStatsEnable = false; }, firstRunWith("-c ", "")},
        {"continue from line without EOF",
         [](LauncherSettings &s) {
             s.restoreEnable = true;
             s.restore = "150";
             s.goEOFEnable = false;
         },
         firstRunWith("-c -x", "-c -r 150 -x").replace("-g ", "")},
        {"continue from line and EOF: only -g",
         [](LauncherSettings &s) {
             s.restoreEnable = true;
             s.restore = "150";
         },
         kFirstRunLine},
        {"EOF off", [](LauncherSettings &s) { s.goEOFEnable = false; }, firstRunWith("-g ", "")},
        {"no map and colour file",
         [](LauncherSettings &s) {
             s.rtcwMapFile.clear();
             s.rtcwColorFile.clear();
         },
         firstRunWith("-x \"mapinfo_sof2.xml\" -y \"irccolors_sof2.cfg\" ", "")},
        {"channel key", [](LauncherSettings &s) { s.ircChannelKey = "sekrit"; },
         firstRunWith("\"irccolors_sof2.cfg\" ", "\"irccolors_sof2.cfg\" -j \"sekrit\" ")},
        {"game server",
         [](LauncherSettings &s) {
             s.rtcwServer = "10.0.0.5";
             s.rtcwPort = "27961";
         },
         firstRunWith("-g ", "-w 10.0.0.5 -d 27961 -g ")},
        {"q auth (two blanks before -f)",
         [](LauncherSettings &s) {
             s.qUser = "quser";
             s.qPass = "qpass";
         },
         firstRunWith("-g ", "-g -e \"quser\"  -f \"qpass\" ")},
        {"q user without password", [](LauncherSettings &s) { s.qUser = "quser"; }, kFirstRunLine},
        {"q password without user", [](LauncherSettings &s) { s.qPass = "qpass"; }, kFirstRunLine},
        {"show play off wins over show frags",
         [](LauncherSettings &s) {
             s.showPlayEnable = false;
             s.showFragsEnable = false;
         },
         firstRunWith("-g ", "-g -P ")},
        {"show frags off", [](LauncherSettings &s) { s.showFragsEnable = false; }, firstRunWith("-g ", "-g -F ")},
        {"server mode", [](LauncherSettings &s) { s.mode = LogMode::Server; }, firstRunWith("-g ", "-g -v ")},
        {"messages", [](LauncherSettings &s) { s.messagesEnable = true; }, firstRunWith("-g ", "-g -m ")},
        {"german log", [](LauncherSettings &s) { s.logLanguage = LogLanguage::German; },
         firstRunWith("-g ", "-g -l 1 ")},
        {"german irc", [](LauncherSettings &s) { s.ircLanguage = IrcLanguage::German; },
         firstRunWith("-g ", "-g -k 1 ")},
        {"dutch irc", [](LauncherSettings &s) { s.ircLanguage = IrcLanguage::Dutch; },
         firstRunWith("-g ", "-g -k 2 ")},
        {"match time off", [](LauncherSettings &s) { s.useClientTimeEnable = false; }, firstRunWith("-z ", "")},
        {"wait", [](LauncherSettings &s) { s.waitEnable = true; }, firstRunWith("-z ", "-z -a ")},
        {"osp off", [](LauncherSettings &s) { s.ospEnable = false; }, firstRunWith("-o ", "")},
        {"quiet", [](LauncherSettings &s) { s.quietEnable = true; }, firstRunWith("-o ", "-o -q ")},
        {"debug level", [](LauncherSettings &s) { s.debugLevel = 101; }, firstRunWith("-o ", "-o -D 101 ")},
        {"team mode adds nothing", [](LauncherSettings &s) { s.teamEnable = true; }, kFirstRunLine},
        {"delete adds nothing", [](LauncherSettings &s) { s.deleteEnable = true; }, kFirstRunLine},
        {"everything at once",
         [](LauncherSettings &s) {
             s.ircChannelKey = "k";
             s.restoreEnable = true;
             s.restore = "7";
             s.goEOFEnable = false;
             s.rtcwServer = "game.example.org";
             s.qUser = "qu";
             s.qPass = "qp";
             s.showFragsEnable = false;
             s.mode = LogMode::Server;
             s.messagesEnable = true;
             s.logLanguage = LogLanguage::German;
             s.ircLanguage = IrcLanguage::Dutch;
             s.waitEnable = true;
             s.quietEnable = true;
             s.debugLevel = 11;
             s.ircChannel = "#ops";
         },
         "tidecore -b \"KoVarn\" -p 6667 -n \"SOF2Tidewatch\" -u \"Ferrobot\" -s 0 -c -r 7 "
         "-x \"mapinfo_sof2.xml\" -y \"irccolors_sof2.cfg\" -j \"k\" -w game.example.org -d 20100 "
         "-e \"qu\"  -f \"qp\" -F -v -m -l 1 -k 2 -z -a -o -q -D 11 irc.quakenet.org \"#ops\" "
         "\"qconsole.log\" "},
    };
    return rows;
}

struct CheckRow {
    const char *name;
    Change change;
    QString message;  // empty: passes
    bool killsCorrected;
};

const QList<CheckRow> &checkRows()
{
    static const QList<CheckRow> rows = {
        {"first run passes", [](LauncherSettings &) {}, "", false},
        {"irc server empty", [](LauncherSettings &s) { s.ircServer.clear(); }, "You did not choose an IRC Server!", false},
        {"irc port empty", [](LauncherSettings &s) { s.ircPort.clear(); }, "You did not choose valid IRC server port!", false},
        {"irc port letters", [](LauncherSettings &s) { s.ircPort = "66a7"; }, "You did not choose valid IRC server port!", false},
        {"irc port zero", [](LauncherSettings &s) { s.ircPort = "0"; }, "You did not choose valid IRC server port!", false},
        {"irc port negative", [](LauncherSettings &s) { s.ircPort = "-6667"; }, "You did not choose valid IRC server port!", false},
        {"irc port beyond 65535", [](LauncherSettings &s) { s.ircPort = "65536"; }, "You did not choose valid IRC server port!", false},
        {"irc port 1", [](LauncherSettings &s) { s.ircPort = "1"; }, "", false},
        {"irc port 65535", [](LauncherSettings &s) { s.ircPort = "65535"; }, "", false},
        {"frags 19 corrected", [](LauncherSettings &s) { s.kills = "19"; },
         "The number of frags before showing the player stats should be at least 20!", true},
        {"frags negative corrected", [](LauncherSettings &s) { s.kills = "-3"; },
         "The number of frags before showing the player stats should be at least 20!", true},
        {"frags 20", [](LauncherSettings &s) { s.kills = "20"; }, "", false},
        {"frags 0 means never", [](LauncherSettings &s) { s.kills = "0"; }, "", false},
        {"frags 5 while stats off", [](LauncherSettings &s) {
             s.kills = "5";
             s.killsEnable = false;
         }, "", false},
        {"channel empty", [](LauncherSettings &s) { s.ircChannel.clear(); }, "You did not choose an IRC Channel!", false},
        {"channel without #", [](LauncherSettings &s) { s.ircChannel = "chan"; }, "IRC Channel has to start with '#'!", false},
        {"channel #chan", [](LauncherSettings &s) { s.ircChannel = "#chan"; }, "", false},
        {"game server with empty port", [](LauncherSettings &s) {
             s.rtcwServer = "10.0.0.5";
             s.rtcwPort.clear();
         }, "You did not choose valid RTCW server port!", false},
        {"game server with port 0", [](LauncherSettings &s) {
             s.rtcwServer = "10.0.0.5";
             s.rtcwPort = "0";
         }, "You did not choose valid RTCW server port!", false},
        {"game server with port 70000", [](LauncherSettings &s) {
             s.rtcwServer = "10.0.0.5";
             s.rtcwPort = "70000";
         }, "You did not choose valid RTCW server port!", false},
        {"no game server, bad port ignored", [](LauncherSettings &s) { s.rtcwPort = "x"; }, "", false},
        {"log file empty", [](LauncherSettings &s) { s.rtcwLogFile.clear(); }, "You did not choose valid RTCW Logfile!", false},
        {"restore 0", [](LauncherSettings &s) {
             s.restoreEnable = true;
             s.restore = "0";
         }, "You did not enter a valid number of lines!", false},
        {"restore letters", [](LauncherSettings &s) {
             s.restoreEnable = true;
             s.restore = "ten";
         }, "You did not enter a valid number of lines!", false},
        {"restore 1", [](LauncherSettings &s) {
             s.restoreEnable = true;
             s.restore = "1";
         }, "", false},
        {"restore unchecked is not looked at", [](LauncherSettings &s) { s.restore = "ten"; }, "", false},
        {"server checked before channel", [](LauncherSettings &s) {
             s.ircServer.clear();
             s.ircChannel = "chan";
         }, "You did not choose an IRC Server!", false},
        {"frags checked before channel", [](LauncherSettings &s) {
             s.kills = "3";
             s.ircChannel = "chan";
         }, "The number of frags before showing the player stats should be at least 20!", true},
        {"channel checked before log file", [](LauncherSettings &s) {
             s.ircChannel = "chan";
             s.rtcwLogFile.clear();
         }, "IRC Channel has to start with '#'!", false},
        {"quote in password", [](LauncherSettings &s) { s.botPassword = "pa\"ss"; },
         "The Bot Password must not contain a double quote!", false},
        {"quote in log file", [](LauncherSettings &s) { s.rtcwLogFile = "a\"b.log"; },
         "The Logfile must not contain a double quote!", false},
        {"quote in unused q user", [](LauncherSettings &s) { s.qUser = "q\"u"; }, "", false},
        {"blank inside irc server", [](LauncherSettings &s) { s.ircServer = "irc. quakenet.org"; },
         "The IRC Server must not contain blanks or double quotes!", false},
        {"blanks around irc server are harmless", [](LauncherSettings &s) { s.ircServer = " irc.quakenet.org "; }, "", false},
        {"blank inside game server", [](LauncherSettings &s) { s.rtcwServer = "my server"; },
         "The RTCW Server must not contain blanks or double quotes!", false},
        {"extra word after frags", [](LauncherSettings &s) { s.kills = "30 -v"; },
         "The number of frags must not contain blanks or double quotes!", false},
        // Values the relay refuses at once, and blank values that would shift the
        // words of the command line: the form must not start the relay with them.
        {"irc port with plus", [](LauncherSettings &s) { s.ircPort = "+6667"; }, "You did not choose valid IRC server port!", false},
        {"irc port with leading zeros", [](LauncherSettings &s) { s.ircPort = "0006667"; }, "You did not choose valid IRC server port!", false},
        {"irc port 06667", [](LauncherSettings &s) { s.ircPort = "06667"; }, "", false},
        {"game port with plus", [](LauncherSettings &s) {
             s.rtcwServer = "10.0.0.5";
             s.rtcwPort = "+20100";
         }, "You did not choose valid RTCW server port!", false},
        {"frags empty", [](LauncherSettings &s) { s.kills.clear(); }, "You did not enter the number of frags!", false},
        {"frags blank", [](LauncherSettings &s) { s.kills = "  "; }, "You did not enter the number of frags!", false},
        {"irc server blank", [](LauncherSettings &s) { s.ircServer = "  "; }, "You did not choose an IRC Server!", false},
        {"channel blank", [](LauncherSettings &s) { s.ircChannel = " "; }, "You did not choose an IRC Channel!", false},
        {"channel # alone", [](LauncherSettings &s) { s.ircChannel = "#"; },
         "The IRC Channel must be channel names like #name, separated by commas, without blanks!", false},
        {"channel list with empty name", [](LauncherSettings &s) { s.ircChannel = "#a,"; },
         "The IRC Channel must be channel names like #name, separated by commas, without blanks!", false},
        {"channel with blank", [](LauncherSettings &s) { s.ircChannel = "#a b"; },
         "The IRC Channel must be channel names like #name, separated by commas, without blanks!", false},
        {"channel list", [](LauncherSettings &s) { s.ircChannel = "#a,&b"; }, "", false},
        {"log file blank", [](LauncherSettings &s) { s.rtcwLogFile = "  "; }, "You did not choose valid RTCW Logfile!", false},
        {"nick with !", [](LauncherSettings &s) { s.ircNick = "Ni!ck"; },
         "The IRC Nick must be one word without , ! @ and must not start with # or :!", false},
        {"nick starting with #", [](LauncherSettings &s) { s.ircNick = "#nick"; },
         "The IRC Nick must be one word without , ! @ and must not start with # or :!", false},
        {"nick with blank", [](LauncherSettings &s) { s.ircNick = "two words"; },
         "The IRC Nick must be one word without , ! @ and must not start with # or :!", false},
        {"nick blank", [](LauncherSettings &s) { s.ircNick = "  "; }, "The IRC Nick must not be blank!", false},
        {"nick empty leaves the relay's own", [](LauncherSettings &s) { s.ircNick.clear(); }, "", false},
        {"map file blank", [](LauncherSettings &s) { s.rtcwMapFile = " "; }, "The Mapfile must not be blank!", false},
        {"game server blank", [](LauncherSettings &s) { s.rtcwServer = "  "; }, "The RTCW Server must not be blank!", false},
        {"key with blank", [](LauncherSettings &s) { s.ircChannelKey = "a b"; }, "The IRC Channel Key must not contain blanks!", false},
        {"user with blank", [](LauncherSettings &s) { s.ircUser = "a b"; }, "The IRC User must not contain blanks!", false},
        {"blanks in quoted texts are fine", [](LauncherSettings &s) {
             s.rtcwLogFile = "/srv/sof 2/qconsole.log";
             s.botPassword = "two words";
         }, "", false},
    };
    return rows;
}

struct Store {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("tidepanel.ini"), QSettings::IniFormat};
};

}  // namespace

class CoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Brackwater");
        QCoreApplication::setApplicationName("Tidepanel");
    }

    // A stand-in relay on PATH records its arguments and writes to both output
    // streams; the launcher must hand over the words and catch the output in its log.
    void detachedStartOnPath()
    {
        QTemporaryDir bin, data;
        const QByteArray oldPath = qgetenv("PATH");
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("PATH", bin.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        const QString script = bin.filePath("tidecore");
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n"
                "PATH=/usr/bin:/bin\n"
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args.tmp\"\n"
                "mv \"$0.args.tmp\" \"$0.args\"\n"
                "echo console-out\n"
                "echo console-err >&2\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const StartOutcome out = start_relay_detached(
            "tidecore -b \"two words\" -g irc.example.net \"#chan\" \"/srv/sof 2/qconsole.log\" ");
        qputenv("PATH", oldPath);
        if (oldData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", oldData);
        QVERIFY2(out.started, qPrintable(out.error));
        QVERIFY(out.consoleLog.startsWith(data.path() + "/Brackwater/Tidepanel/tidecore-"));

        QFile args(script + ".args");
        QFile log(out.consoleLog);
        const QDeadlineTimer deadline(10000);
        auto logComplete = [&] {
            return log.open(QIODevice::ReadOnly) && log.readAll().count('\n') >= 2;
        };
        while (!(args.exists() && logComplete()) && !deadline.hasExpired()) {
            log.close();
            QThread::msleep(20);
        }
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()),
                 QString("-b\ntwo words\n-g\nirc.example.net\n#chan\n/srv/sof 2/qconsole.log\n"));
        log.seek(0);
        const QByteArray console = log.readAll();
        QVERIFY(console.contains("console-out\n"));
        QVERIFY(console.contains("console-err\n"));
    }

    void detachedStartWithoutRelay()
    {
        QTemporaryDir bin;
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        const StartOutcome out = start_relay_detached("tidecore-missing -g irc.example.net \"#c\" \"l\" ");
        qputenv("PATH", oldPath);
        QVERIFY(!out.started);
        QVERIFY(out.error.contains("tidecore-missing"));
        QVERIFY(out.consoleLog.isEmpty());
    }

    void consoleLogNamesAreNew()
    {
        QTemporaryDir dir;
        const QString first = new_console_log_path(dir.path());
        QFile(first).open(QIODevice::WriteOnly);
        const QString second = new_console_log_path(dir.path());
        QVERIFY(first != second);
        QVERIFY(!QFileInfo::exists(second));
    }

    void commandLine_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < lineRows().size(); ++i)
            QTest::newRow(lineRows()[i].name) << i;
    }
    void commandLine()
    {
        QFETCH(int, row);
        LauncherSettings s;
        lineRows()[row].change(s);
        QCOMPARE(build_command_line(s, "tidecore"), lineRows()[row].expected);
    }

    void commandLineKeepsProgramName()
    {
        QVERIFY(build_command_line(LauncherSettings{}, "tidecore.exe").startsWith("tidecore.exe -b "));
    }

    // The starter splits the line into words; quoted texts must arrive whole.
    void commandLineSplitsIntoWords()
    {
        LauncherSettings s;
        s.rtcwLogFile = "/srv/sof 2/qconsole.log";
        s.ircChannel = "#my chan";
        s.botPassword = "two words";
        s.qUser = "qu";
        s.qPass = "q p";
        const QStringList words = QProcess::splitCommand(build_command_line(s, "tidecore"));
        const QStringList expected = {
            "tidecore", "-b", "two words", "-p", "6667", "-n", "SOF2Tidewatch", "-u", "Ferrobot",
            "-s", "0", "-c", "-x", "mapinfo_sof2.xml", "-y", "irccolors_sof2.cfg", "-g",
            "-e", "qu", "-f", "q p", "-z", "-o", "irc.quakenet.org", "#my chan",
            "/srv/sof 2/qconsole.log"};
        QCOMPARE(words, expected);
    }

    void checks_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < checkRows().size(); ++i)
            QTest::newRow(checkRows()[i].name) << i;
    }
    void checks()
    {
        QFETCH(int, row);
        LauncherSettings s;
        checkRows()[row].change(s);
        const CheckOutcome out = check_settings(s);
        QCOMPARE(out.message, checkRows()[row].message);
        QCOMPARE(out.killsCorrected, checkRows()[row].killsCorrected);
    }

    void integerValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<long long>("value");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("plain") << "80" << 80LL << true;
        QTest::newRow("blanks around") << "  80 " << 80LL << true;
        QTest::newRow("sign") << "-3" << -3LL << true;
        QTest::newRow("plus") << "+7" << 7LL << true;
        QTest::newRow("tail") << "12abc" << 12LL << false;
        QTest::newRow("letters") << "abc" << 0LL << false;
        QTest::newRow("empty") << "" << 0LL << false;
        QTest::newRow("sign only") << "-" << 0LL << false;
        QTest::newRow("decimal point") << "1.5" << 1LL << false;
        QTest::newRow("inner blank") << "1 5" << 1LL << false;
        QTest::newRow("huge") << "99999999999999999999999" << 999999999999999999LL << true;
    }
    void integerValue()
    {
        QFETCH(QString, text);
        QFETCH(long long, value);
        QFETCH(bool, numeric);
        QCOMPARE(integer_value(text), value);
        QCOMPARE(is_numeric(text), numeric);
    }

    void firstRunLoadsNothing()
    {
        Store st;
        LauncherSettings s;
        QVERIFY(!load_settings(st.settings, s));
        QCOMPARE(s, LauncherSettings{});
        QVERIFY(st.settings.allKeys().isEmpty());
    }

    void unknownVersionLoadsNothing_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("older") << "0.8";
        QTest::newRow("newer") << "2.0";
    }
    void unknownVersionLoadsNothing()
    {
        QFETCH(QString, version);
        Store st;
        st.settings.setValue("Version", version);
        st.settings.setValue("IRCNick", "Other");
        LauncherSettings s;
        QVERIFY(!load_settings(st.settings, s));
        QCOMPARE(s, LauncherSettings{});
        QCOMPARE(st.settings.value("Version").toString(), version);
    }

    void olderReadableVersionIsUpdated()
    {
        Store st;
        st.settings.setValue("Version", "1.1");
        st.settings.setValue("IRCNick", "Other");
        LauncherSettings s;
        QVERIFY(load_settings(st.settings, s));
        QCOMPARE(s.ircNick, QString("Other"));
        QCOMPARE(st.settings.value("Version").toString(), QString("1.2"));
    }

    void roundTrip()
    {
        Store st;
        LauncherSettings saved;
        saved.ircServer = "irc.example.net";
        saved.ircPort = "6668";
        saved.ircChannel = "#ops";
        saved.ircChannelKey = "k";
        saved.ircNick = "Nick";
        saved.ircUser = "user";
        saved.botPassword = "secret";
        saved.qUser = "qu";
        saved.qPass = "qp";
        saved.rtcwLogFile = "/srv/sof 2/games.log";
        saved.rtcwMapFile = "maps.xml";
        saved.rtcwColorFile = "colours.cfg";
        saved.rtcwServer = "10.0.0.5";
        saved.rtcwPort = "27961";
        saved.kills = "40";
        saved.restore = "12";
        saved.mode = LogMode::Server;
        saved.logLanguage = LogLanguage::German;
        saved.ircLanguage = IrcLanguage::Dutch;
        saved.expertEnable = true;
        saved.showPlayEnable = false;
        saved.showFragsEnable = false;
        saved.useClientTimeEnable = false;
        saved.playerStatsEnable = false;
        saved.killsEnable = false;
        saved.restoreEnable = true;
        saved.goEOFEnable = false;
        saved.messagesEnable = true;
        saved.ospEnable = false;
        saved.waitEnable = true;
        saved.quietEnable = true;
        saved.teamEnable = true;
        saved.deleteEnable = true;
        QVERIFY(save_settings(st.settings, saved));

        LauncherSettings loaded;
        QVERIFY(load_settings(st.settings, loaded));
        QCOMPARE(loaded, saved);

        // Back to the first-run values: every flag and filled text is overwritten,
        // while the fields saved empty ("EMPTY") keep what the form showed before.
        QVERIFY(save_settings(st.settings, LauncherSettings{}));
        LauncherSettings again = saved;
        QVERIFY(load_settings(st.settings, again));
        LauncherSettings expected;
        expected.ircChannelKey = saved.ircChannelKey;
        expected.qUser = saved.qUser;
        expected.qPass = saved.qPass;
        expected.rtcwServer = saved.rtcwServer;
        QCOMPARE(again, expected);
    }

    void storedEncoding()
    {
        Store st;
        LauncherSettings s;
        s.botPassword.clear();
        s.ircLanguage = IrcLanguage::German;
        s.logLanguage = LogLanguage::German;
        s.debugLevel = 7;
        QVERIFY(save_settings(st.settings, s));
        QSettings &v = st.settings;
        QCOMPARE(v.value("Version").toString(), QString("1.2"));
        QCOMPARE(v.value("BotPassWord").toString(), QString("EMPTY"));
        QCOMPARE(v.value("QuakenetUser").toString(), QString("EMPTY"));
        QCOMPARE(v.value("IRCServer").toString(), QString("irc.quakenet.org"));
        QCOMPARE(v.value("Stats").toString(), QString("0"));
        QCOMPARE(v.value("ClientMode").toString(), QString("True"));
        QCOMPARE(v.value("ServerMode").toString(), QString("False"));
        QCOMPARE(v.value("InputLanguage").toString(), QString("1"));
        QCOMPARE(v.value("OutputLanguage").toString(), QString("1"));
        QCOMPARE(v.value("OSP").toString(), QString("True"));
        QCOMPARE(v.value("StatsMode").toString(), QString("True"));
        QCOMPARE(v.value("Delete").toString(), QString("False"));
        QCOMPARE(v.value("GoEOFMode").toString(), QString("True"));
        QCOMPARE(v.value("ShowKillDeath").toString(), QString("True"));
        QVERIFY(!v.contains("Debug"));
        QVERIFY(!v.contains("QuakenerUser"));
        QCOMPARE(v.allKeys().size(), 1 + 8 + 6 + 2 + 2 + 16);
    }

    void emptyPasswordComesBackAsDefault()
    {
        Store st;
        LauncherSettings s;
        s.botPassword.clear();
        s.ircNick = "Changed";
        QVERIFY(save_settings(st.settings, s));
        LauncherSettings loaded;
        QVERIFY(load_settings(st.settings, loaded));
        QCOMPARE(loaded.botPassword, QString("KoVarn"));
        QCOMPARE(loaded.ircNick, QString("Changed"));
    }

    // Missing flags: the first group counts as clear, the second as checked.
    void missingFlags()
    {
        Store st;
        st.settings.setValue("Version", "1.2");
        LauncherSettings s;
        s.waitEnable = false;
        QVERIFY(load_settings(st.settings, s));
        QVERIFY(!s.expertEnable);
        QVERIFY(!s.ospEnable);
        QVERIFY(!s.killsEnable);
        QVERIFY(s.waitEnable);
        QVERIFY(s.goEOFEnable);
        QVERIFY(s.showPlayEnable);
        QCOMPARE(s.mode, LogMode::Client);
        QCOMPARE(s.ircServer, QString("irc.quakenet.org"));
    }

    void flagValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("onlyIfTrue");
        QTest::addColumn<bool>("unlessFalse");
        QTest::newRow("True") << "True" << true << true;
        QTest::newRow("False") << "False" << false << false;
        QTest::newRow("other text") << "yes" << false << false;
        QTest::newRow("lower case") << "true" << false << false;
    }
    void flagValues()
    {
        QFETCH(QString, stored);
        QFETCH(bool, onlyIfTrue);
        QFETCH(bool, unlessFalse);
        Store st;
        st.settings.setValue("Version", "1.2");
        st.settings.setValue("OSP", stored);
        st.settings.setValue("ShowPlay", stored);
        st.settings.setValue("ServerMode", stored);
        LauncherSettings s;
        QVERIFY(load_settings(st.settings, s));
        QCOMPARE(s.ospEnable, onlyIfTrue);
        QCOMPARE(s.showPlayEnable, unlessFalse);
        QCOMPARE(s.mode == LogMode::Server, onlyIfTrue);
    }

    void languages_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("logLanguage");
        QTest::addColumn<int>("ircLanguage");
        QTest::newRow("english") << "0" << "0" << 0 << 0;
        QTest::newRow("german") << "1" << "1" << 1 << 1;
        QTest::newRow("dutch output") << "0" << "2" << 0 << 2;
        QTest::newRow("unknown numbers") << "2" << "7" << 0 << 0;
    }
    void languages()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(int, logLanguage);
        QFETCH(int, ircLanguage);
        Store st;
        st.settings.setValue("Version", "1.2");
        st.settings.setValue("InputLanguage", input);
        st.settings.setValue("OutputLanguage", output);
        LauncherSettings s;
        QVERIFY(load_settings(st.settings, s));
        QCOMPARE(static_cast<int>(s.logLanguage), logLanguage);
        QCOMPARE(static_cast<int>(s.ircLanguage), ircLanguage);
    }

    void debugLevel_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("level");
        QTest::newRow("number") << "101" << 101;
        QTest::newRow("EMPTY") << "EMPTY" << 0;
        QTest::newRow("letters") << "abc" << 0;
    }
    void debugLevel()
    {
        QFETCH(QString, stored);
        QFETCH(int, level);
        Store st;
        st.settings.setValue("Version", "1.2");
        st.settings.setValue("Debug", stored);
        LauncherSettings s;
        QVERIFY(load_settings(st.settings, s));
        QCOMPARE(s.debugLevel, level);
        // Saving never touches it: it is set by hand only.
        QVERIFY(save_settings(st.settings, s));
        QCOMPARE(st.settings.value("Debug").toString(), stored);
    }

    void strayQuakenerUser_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("EMPTY is deleted") << "EMPTY" << false;
        QTest::newRow("a name is kept") << "someone" << true;
    }
    void strayQuakenerUser()
    {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        Store st;
        st.settings.setValue("Version", "1.2");
        st.settings.setValue("QuakenerUser", stored);
        LauncherSettings s;
        QVERIFY(load_settings(st.settings, s));
        QCOMPARE(st.settings.contains("QuakenerUser"), kept);
        QCOMPARE(s.qUser, QString());
    }

    void saveVersionMark_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("none") << "" << "1.2";
        QTest::newRow("0.4") << "0.4" << "1.2";
        QTest::newRow("1.1") << "1.1" << "1.2";
        QTest::newRow("unknown kept") << "2.0" << "2.0";
    }
    void saveVersionMark()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        Store st;
        if (!before.isEmpty())
            st.settings.setValue("Version", before);
        QVERIFY(save_settings(st.settings, LauncherSettings{}));
        QCOMPARE(st.settings.value("Version").toString(), after);
    }
};

QTEST_GUILESS_MAIN(CoreTest)
#include "test_core.moc"
