// The launcher's checks against the relay's own command-line parser: whatever the
// form lets through must be read by the relay as the form meant it, never refused.
#include "checks.h"
#include "command_line.h"

#include "relay/app/command_line.h"
#include "tests/support/relay_fixture.h"

#include "form.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

using namespace tidepanel;

namespace {

// Exit code of the relay's parser on the line, or -1 when it accepted it.
int relay_parse(TestRelay &t, const QString &line)
{
    std::vector<std::string> words;
    for (const QString &w : QProcess::splitCommand(line))
        words.push_back(w.toStdString());
    std::vector<char *> argv;
    for (auto &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    try {
        parse_command_line(t.r(), static_cast<int>(words.size()), argv.data());
    } catch (const FakeExit &e) {
        return e.code;
    }
    return -1;
}

}  // namespace

class RelayRulesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void launcherValidIsRelayValid_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        const char *rows[][2] = {
            {"port", "6667"}, {"port", "+6667"}, {"port", "0006667"}, {"port", "06667"},
            {"port", " 6667 "}, {"port", "65536"}, {"port", "0"},
            {"channel", "#"}, {"channel", "#a"}, {"channel", "#a,&b"}, {"channel", "#a,"},
            {"channel", "#a b"}, {"channel", "#a,#"}, {"channel", ""},
            {"nick", "Tide"}, {"nick", "Ni!ck"}, {"nick", "a@b"}, {"nick", "a,b"}, {"nick", ":x"},
            {"nick", "#x"}, {"nick", " "}, {"nick", "two words"},
            {"kills", ""}, {"kills", "  "}, {"kills", "0"}, {"kills", "40"},
            {"server", " "}, {"server", "irc.example.net"}, {"server", "a b"},
            {"key", "a b"}, {"key", "k"},
            {"gameport", "+20100"}, {"gameport", "20100"}, {"gameport", ""},
        };
        for (const auto &row : rows)
            QTest::newRow(qPrintable(QString("%1 '%2'").arg(row[0], row[1]))) << row[0] << row[1];
    }
    void launcherValidIsRelayValid()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        LauncherSettings s;
        s.ircServer = "irc.example.net";
        if (field == "port") s.ircPort = value;
        if (field == "channel") s.ircChannel = value;
        if (field == "nick") s.ircNick = value;
        if (field == "kills") s.kills = value;
        if (field == "server") s.ircServer = value;
        if (field == "key") s.ircChannelKey = value;
        if (field == "gameport") {
            s.rtcwServer = "10.0.0.5";
            s.rtcwPort = value;
        }
        TestRelay t;
        const int code = relay_parse(t, build_command_line(s));
        if (!check_settings(s).ok())
            return;  // the form refuses it; the relay never sees it
        QCOMPARE(code, -1);
        const BotSettings &b = t.r().settings;
        QCOMPARE(QString::fromStdString(*b.irchost), s.ircServer.trimmed());
        QCOMPARE(QString::fromStdString(*b.ircport), s.ircPort.trimmed());
        QCOMPARE(QString::fromStdString(*b.channel), s.ircChannel);
        QCOMPARE(QString::fromStdString(*b.nick), s.ircNick);
        QCOMPARE(QString::fromStdString(*b.logfile), s.rtcwLogFile);
        QCOMPARE(QString::fromStdString(*b.statsafter_text), s.kills.trimmed());
        QCOMPARE(b.playerstats, 1);
    }

    // The real relay, started by the launcher's own starter, refuses a port the
    // launcher of old let through: the form shows the exit code and the relay's
    // last console line instead of "Started".
    void realRelayEndingAtOnceIsShown()
    {
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
        QSettings store(dir.filePath("tidepanel.ini"), QSettings::IniFormat);
        FormHooks hooks;
        hooks.inform = [](QWidget *, const QString &, const QString &text) { QFAIL(qPrintable(text)); };
        hooks.ask = [](QWidget *, const QString &, const QString &) { return false; };
        hooks.startRelay = [](const QString &line) {
            QString relay = line;
            relay.replace(QStringLiteral("tidecore -b"), QStringLiteral(TIDECORE_PATH " -b"));
            relay.replace(QStringLiteral(" -p 6667 "), QStringLiteral(" -p +6667 "));
            return start_relay_detached(relay);
        };
        TidepanelForm form(store, hooks);
        QTest::mouseClick(form.findChild<QWidget *>("StartButton"), Qt::LeftButton);
        auto *status = form.findChild<QLabel *>("Status");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("The relay ended at once with exit code 2."), 12000);
        QVERIFY2(status->text().contains("\nLast console line: Invalid IRC port \"+6667\": a port is a number "
                                          "from 1 to 65535. See tidecore -h.\n"),
                 qPrintable(status->text()));
    }
};

QTEST_MAIN(RelayRulesTest)
#include "test_relay_rules.moc"
