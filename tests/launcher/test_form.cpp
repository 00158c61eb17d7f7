// The Tidepanel form under Qt Test (offscreen): defaults, visibility, Start, storage.
#include "form.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace tidepanel;

namespace {

const QString kFirstRunLine = QStringLiteral(
    "tidecore -b \"KoVarn\" -p 6667 -n \"SOF2Tidewatch\" -u \"Ferrobot\" -s 0 -c "
    "-x \"mapinfo_sof2.xml\" -y \"irccolors_sof2.cfg\" -g -z -o irc.quakenet.org "
    "\"#RTCWTidewatch\" \"qconsole.log\" ");

// One form on a temporary store, with every dialog and the process start captured.
struct Harness {
    QTemporaryDir dir;
    QSettings store{dir.filePath("tidepanel.ini"), QSettings::IniFormat};
    QStringList messages;        // "title|text" of every message box
    QStringList questions;
    bool answerYes = false;
    QStringList started;         // command lines handed to the starter
    StartOutcome outcome{true, "/var/log/relay.log", {}, {}};
    QString chosenFile;
    QString lastFilter;
    std::unique_ptr<TidepanelForm> form;

    Harness() = default;

    TidepanelForm &open()
    {
        FormHooks h;
        h.inform = [this](QWidget *, const QString &title, const QString &text) {
            messages << title + "|" + text;
        };
        h.ask = [this](QWidget *, const QString &title, const QString &text) {
            questions << title + "|" + text;
            return answerYes;
        };
        h.chooseFile = [this](QWidget *, const QString &, const QString &filter) {
            lastFilter = filter;
            return chosenFile;
        };
        h.startRelay = [this](const QString &line) {
            started << line;
            return outcome;
        };
        form = std::make_unique<TidepanelForm>(store, h);
        return *form;
    }

    template <typename T>
    T *get(const char *name)
    {
        T *w = form->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit *field(const char *name) { return get<QLineEdit>(name); }
    QCheckBox *check(const char *name) { return get<QCheckBox>(name); }
    QRadioButton *option(const char *name) { return get<QRadioButton>(name); }
    bool shown(const char *name) { return !get<QWidget>(name)->isHidden(); }
    void start() { QTest::mouseClick(get<QPushButton>("StartButton"), Qt::LeftButton); }
};

struct FieldDefault {
    const char *name;
    const char *text;
};
constexpr FieldDefault kFieldDefaults[] = {
    {"IrcServer", "irc.quakenet.org"}, {"IrcPort", "6667"},       {"IrcChannel", "#RTCWTidewatch"},
    {"IRCChannelKey", ""},             {"IrcNick", "SOF2Tidewatch"}, {"IrcUser", "Ferrobot"},
    {"BotPassword", "KoVarn"},         {"QUser", ""},             {"QPass", ""},
    {"RTCWLogFile", "qconsole.log"},   {"RTCWMapFile", "mapinfo_sof2.xml"},
    {"RTCWColorFile", "irccolors_sof2.cfg"}, {"RTCWServer", ""},  {"RTCWPort", "20100"},
    {"Kills", "0"},                    {"Restore", "0"},
};

struct CheckDefault {
    const char *name;
    const char *caption;
    bool checked;
};
constexpr CheckDefault kCheckDefaults[] = {
    {"ExpertEnable", "Expert mode", false},
    {"ShowPlayEnable", "Show Game Play", true},
    {"ShowFragsEnable", "Show Frags", true},
    {"UseClientTimeEnable", "Show Match Time", true},
    {"PlayerStatsEnable", "Show [Kills/Deaths]", true},
    {"KillsEnable", "Show stats after", true},
    {"RestoreEnable", "Continue from line", false},
    {"GoEOFEnable", "Start from EOF", true},
    {"MessagesEnable", "Messages On", false},
    {"OSPEnable", "Enable OSP", true},
    {"WaitEnable", "Wait before opening", false},
    {"QuietEnable", "Quiet Mode", false},
    {"TeamEnable", "Team mode", false},
    {"DeleteEnable", "Delete before opening", false},
};

// Controls that only expert mode shows (with first-run values).
constexpr const char *kExpertOnly[] = {
    "IrcUser", "QUser", "QPass", "RTCWMapFile", "BrowseMap", "RTCWColorFile", "BrowseColor",
    "RTCWServer", "OSPEnable", "PlayerStatsEnable", "GoEOFEnable", "QuietEnable",
    "ShowPlayEnable", "ShowFragsEnable", "UseClientTimeEnable", "KillsEnable", "Kills"};
constexpr const char *kAlwaysShown[] = {
    "IrcServer", "IrcPort", "IrcChannel", "IRCChannelKey", "IrcNick", "BotPassword",
    "RTCWLogFile", "BrowseLog", "ClientMode", "ServerMode", "EnglishEnable", "GermanEnable",
    "EnglishOutputEnable", "GermanOutputEnable", "DutchOutputEnable", "ExpertEnable",
    "MessagesEnable", "WaitEnable", "TeamEnable", "DeleteEnable", "StartButton"};

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunDefaults()
    {
        Harness h;
        h.open();
        for (const FieldDefault &f : kFieldDefaults)
            QCOMPARE(h.field(f.name)->text(), QString(f.text));
        for (const CheckDefault &c : kCheckDefaults) {
            QCOMPARE(h.check(c.name)->text(), QString(c.caption));
            QVERIFY2(h.check(c.name)->isChecked() == c.checked, c.name);
        }
        QCOMPARE(h.option("ClientMode")->text(), QString("ClientLog"));
        QCOMPARE(h.option("ServerMode")->text(), QString("ServerLog"));
        QCOMPARE(h.option("DutchOutputEnable")->text(), QString("Dutch"));
        QVERIFY(h.option("ClientMode")->isChecked());
        QVERIFY(h.option("EnglishEnable")->isChecked());
        QVERIFY(h.option("EnglishOutputEnable")->isChecked());
        QVERIFY(!h.option("GermanEnable")->isChecked());
        QCOMPARE(h.field("RTCWServer")->toolTip(), QString("OPTIONAL: Server IP or Name"));
        QCOMPARE(h.get<QPushButton>("BrowseLog")->text(), QString("Browse"));
        QCOMPARE(h.get<QPushButton>("StartButton")->text(), QString("Start"));
        for (const char *name : kExpertOnly)
            QVERIFY2(!h.shown(name), name);
        for (const char *name : kAlwaysShown)
            QVERIFY2(h.shown(name), name);
        QVERIFY(h.store.allKeys().isEmpty());
    }

    // Each row: a few clicks from the first-run state, then which controls show.
    void visibility_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("expert on") << QStringList{"ExpertEnable"}
            << QStringList{"IrcUser", "QUser", "QPass", "RTCWMapFile", "BrowseMap", "RTCWColorFile",
                           "BrowseColor", "RTCWServer", "OSPEnable", "PlayerStatsEnable", "GoEOFEnable",
                           "QuietEnable", "ShowPlayEnable", "ShowFragsEnable", "UseClientTimeEnable",
                           "KillsEnable", "Kills"}
            << QStringList{"RTCWPort", "RestoreEnable", "Restore"};
        QTest::newRow("expert on and off") << QStringList{"ExpertEnable", "ExpertEnable"}
            << QStringList{"IrcServer"} << QStringList{"IrcUser", "Kills", "GoEOFEnable", "RestoreEnable"};
        QTest::newRow("EOF cleared shows continue") << QStringList{"ExpertEnable", "GoEOFEnable"}
            << QStringList{"RestoreEnable"} << QStringList{"Restore"};
        QTest::newRow("continue checked shows lines") << QStringList{"ExpertEnable", "GoEOFEnable", "RestoreEnable"}
            << QStringList{"RestoreEnable", "Restore"} << QStringList{};
        QTest::newRow("EOF again hides both") << QStringList{"ExpertEnable", "GoEOFEnable", "RestoreEnable", "GoEOFEnable"}
            << QStringList{} << QStringList{"RestoreEnable", "Restore"};
        QTest::newRow("stats after cleared hides frags") << QStringList{"ExpertEnable", "KillsEnable"}
            << QStringList{"KillsEnable"} << QStringList{"Kills"};
        QTest::newRow("server mode hides client options") << QStringList{"ExpertEnable", "ServerMode"}
            << QStringList{"ShowPlayEnable"} << QStringList{"UseClientTimeEnable", "KillsEnable", "Kills"};
        QTest::newRow("client mode shows them again") << QStringList{"ExpertEnable", "ServerMode", "ClientMode"}
            << QStringList{"UseClientTimeEnable", "KillsEnable", "Kills"} << QStringList{};
        QTest::newRow("client mode outside expert mode") << QStringList{"ServerMode", "ClientMode"}
            << QStringList{} << QStringList{"UseClientTimeEnable", "KillsEnable", "Kills"};
        QTest::newRow("expert on in server mode") << QStringList{"ServerMode", "ExpertEnable"}
            << QStringList{"GoEOFEnable"} << QStringList{"UseClientTimeEnable", "KillsEnable", "Kills"};
    }
    void visibility()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        Harness h;
        h.open();
        for (const QString &name : clicks)
            QTest::mouseClick(h.get<QAbstractButton>(qPrintable(name)), Qt::LeftButton);
        for (const QString &name : shown)
            QVERIFY2(h.shown(qPrintable(name)), qPrintable(name));
        for (const QString &name : hidden)
            QVERIFY2(!h.shown(qPrintable(name)), qPrintable(name));
    }

    void windowFitsExpertMode()
    {
        Harness h;
        TidepanelForm &form = h.open();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const int plain = form.height();
        h.check("ExpertEnable")->click();
        QTRY_VERIFY(form.height() > plain);
        h.check("ExpertEnable")->click();
        QTRY_COMPARE(form.height(), plain);
    }

    void showFragsFollowsShowPlay()
    {
        Harness h;
        h.open();
        QVERIFY(h.check("ShowFragsEnable")->isEnabled());
        h.check("ShowPlayEnable")->click();
        QVERIFY(!h.check("ShowFragsEnable")->isEnabled());
        h.check("ShowPlayEnable")->click();
        QVERIFY(h.check("ShowFragsEnable")->isEnabled());
    }

    void gameServerFieldShowsPort()
    {
        Harness h;
        h.open();
        h.check("ExpertEnable")->click();
        QVERIFY(!h.shown("RTCWPort"));
        QTest::keyClicks(h.field("RTCWServer"), "g");
        QVERIFY(h.shown("RTCWPort"));
        QTest::keyClick(h.field("RTCWServer"), Qt::Key_Backspace);
        QVERIFY(!h.shown("RTCWPort"));
        h.check("ExpertEnable")->click();
        QTest::keyClicks(h.field("RTCWServer"), "g");
        QVERIFY(!h.shown("RTCWPort"));  // never outside expert mode
    }

    // Typed key by key: after the colon the focus is in the port field, so the
    // rest of the typing lands there.
    void gameServerColonMovesToPort()
    {
        Harness h;
        TidepanelForm &form = h.open();
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        h.check("ExpertEnable")->click();
        h.field("RTCWServer")->setFocus();
        for (QChar c : QString("192.168.1.20:20100"))
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
        QCOMPARE(h.field("RTCWServer")->text(), QString("192.168.1.20"));
        QCOMPARE(h.field("RTCWPort")->text(), QString("20100"));
        QCOMPARE(QApplication::focusWidget(), h.field("RTCWPort"));
        QVERIFY(h.shown("RTCWPort"));
    }

    void gameServerPastedWithPort_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::newRow("address and port") << "10.0.0.5:27961" << "10.0.0.5" << "27961";
        QTest::newRow("name and port") << "sof2.example.org:20100" << "sof2.example.org" << "20100";
        QTest::newRow("leading colon stays") << ":20100" << ":20100" << "20100";
        QTest::newRow("no colon") << "10.0.0.5" << "10.0.0.5" << "20100";
    }
    void gameServerPastedWithPort()
    {
        QFETCH(QString, typed);
        QFETCH(QString, server);
        QFETCH(QString, port);
        Harness h;
        h.open();
        h.field("RTCWServer")->insert(typed);  // as a paste would
        QCOMPARE(h.field("RTCWServer")->text(), server);
        QCOMPARE(h.field("RTCWPort")->text(), port);
    }

    void startFirstRun()
    {
        Harness h;
        h.open();
        h.start();
        QCOMPARE(h.messages, QStringList{});
        QCOMPARE(h.started, QStringList{kFirstRunLine});
        QVERIFY(h.get<QWidget>("Status")->property("text").toString().contains("/var/log/relay.log"));
        h.start();  // every click starts another relay
        QCOMPARE(h.started.size(), 2);
    }

    void startRefusesChannelWithoutHash()
    {
        Harness h;
        h.open();
        h.field("IrcChannel")->setText("chan");
        h.start();
        QCOMPARE(h.messages, QStringList{"Oops|IRC Channel has to start with '#'!"});
        QVERIFY(h.started.isEmpty());
        h.field("IrcChannel")->setText("#chan");
        h.start();
        QCOMPARE(h.started.size(), 1);
        QVERIFY(h.started[0].endsWith("irc.quakenet.org \"#chan\" \"qconsole.log\" "));
    }

    void startCorrectsFragCount()
    {
        Harness h;
        h.open();
        h.field("Kills")->setText("5");
        h.start();
        QCOMPARE(h.messages,
                 QStringList{"Oops|The number of frags before showing the player stats should be at least 20!"});
        QCOMPARE(h.field("Kills")->text(), QString("20"));
        QVERIFY(h.started.isEmpty());
        h.start();
        QCOMPARE(h.started.size(), 1);
        QVERIFY(h.started[0].contains(" -s 20 -c "));
    }

    void startWithEofAndContinue()
    {
        Harness h;
        h.open();
        h.check("ExpertEnable")->click();
        h.check("GoEOFEnable")->click();
        h.check("RestoreEnable")->click();
        h.field("Restore")->setText("300");
        h.check("GoEOFEnable")->click();  // both checked now
        QVERIFY(h.check("RestoreEnable")->isChecked());
        h.start();
        QCOMPARE(h.started, QStringList{kFirstRunLine});
        QVERIFY(!h.started[0].contains("-r "));
    }

    void hiddenFieldsStillCount()
    {
        Harness h;
        h.open();
        h.check("ExpertEnable")->click();
        h.field("IrcUser")->setText("relayuser");
        h.field("RTCWServer")->setText("10.0.0.5");
        h.check("QuietEnable")->click();
        h.check("ExpertEnable")->click();
        QVERIFY(!h.shown("IrcUser"));
        h.start();
        QCOMPARE(h.started.size(), 1);
        QVERIFY(h.started[0].contains("-u \"relayuser\" "));
        QVERIFY(h.started[0].contains("-w 10.0.0.5 -d 20100 "));
        QVERIFY(h.started[0].contains("-o -q "));
    }

    void deleteBeforeOpening_data()
    {
        QTest::addColumn<bool>("deleteChecked");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("starts");
        QTest::newRow("unchecked keeps the log") << false << "#c" << true << 1;
        QTest::newRow("checked deletes it") << true << "#c" << false << 1;
        QTest::newRow("deleted even when a check fails") << true << "c" << false << 0;
    }
    void deleteBeforeOpening()
    {
        QFETCH(bool, deleteChecked);
        QFETCH(QString, channel);
        QFETCH(bool, kept);
        QFETCH(int, starts);
        Harness h;
        h.open();
        const QString log = h.dir.filePath("qconsole.log");
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old lines\n");
        f.close();
        h.field("RTCWLogFile")->setText(log);
        h.field("IrcChannel")->setText(channel);
        h.check("DeleteEnable")->setChecked(deleteChecked);
        h.start();
        QCOMPARE(QFile::exists(log), kept);
        QCOMPARE(h.started.size(), starts);
    }

    void deleteLeavesFoldersAlone()
    {
        Harness h;
        h.open();
        h.field("RTCWLogFile")->setText(h.dir.path());
        h.check("DeleteEnable")->setChecked(true);
        h.start();
        QVERIFY(QFileInfo(h.dir.path()).isDir());
    }

    // The status text after Start must not take the room of the fields above it.
    void statusLeavesFieldsReadable()
    {
        Harness h;
        TidepanelForm &form = h.open();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        h.start();
        QCoreApplication::processEvents();
        for (QLineEdit *field : form.findChildren<QLineEdit *>()) {
            if (field->isHidden())
                continue;
            QVERIFY2(field->height() >= field->minimumSizeHint().height(), qPrintable(field->objectName()));
        }
    }

    // A relay that ends at once: the form says so with the exit code and the last
    // line of its console output; one that runs on keeps "Started".
    void earlyEndIsReported()
    {
        Harness h;
        const QString log = h.dir.filePath("console.log");
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("IRC connection: TLS off\nInvalid nick \"x\": bad.\n\n");
        f.close();
        int polls = 0;
        h.outcome = {true, log, {}, [&polls]() -> std::optional<int> {
                         return ++polls < 3 ? std::nullopt : std::optional<int>(2);
                     }};
        h.open();
        h.start();
        QVERIFY(h.get<QWidget>("Status")->property("text").toString().startsWith("Started: "));
        QTRY_COMPARE(h.get<QWidget>("Status")->property("text").toString(),
                     "The relay ended at once with exit code 2.\nLast console line: Invalid nick \"x\": bad.\n"
                     "Console output: " + log);
    }

    void failedStartIsReported()
    {
        Harness h;
        h.outcome = {false, {}, "tidecore was found neither next to Tidepanel nor on the PATH.", {}};
        h.open();
        h.start();
        QCOMPARE(h.messages,
                 QStringList{"Oops|Could not start the relay: tidecore was found neither next to Tidepanel nor on the PATH."});
    }

    void browseButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("filterTail");
        QTest::newRow("log") << "BrowseLog" << "RTCWLogFile" << ";;Text Files (*.txt);;Log Files (*.log)";
        QTest::newRow("map") << "BrowseMap" << "RTCWMapFile" << ";;Text Files (*.txt);;XML Files (*.xml)";
        QTest::newRow("colour") << "BrowseColor" << "RTCWColorFile" << ";;Text Files (*.txt);;Config Files (*.cfg)";
    }
    void browseButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, filterTail);
        Harness h;
        h.open();
        const QString before = h.field(qPrintable(field))->text();
        h.get<QPushButton>(qPrintable(button))->click();  // cancelled
        QCOMPARE(h.field(qPrintable(field))->text(), before);
        QVERIFY(h.lastFilter.startsWith("All Files ("));
        QVERIFY(h.lastFilter.endsWith(filterTail));
        h.chosenFile = "/srv/sof2/chosen file";
        h.get<QPushButton>(qPrintable(button))->click();
        QCOMPARE(h.field(qPrintable(field))->text(), QString("/srv/sof2/chosen file"));
    }

    void closeAsksAndSaves()
    {
        Harness h;
        h.open();
        h.form->close();  // answered No
        QCOMPARE(h.questions, QStringList{"Save Tidepanel Options|Save Options?"});
        QVERIFY(h.store.allKeys().isEmpty());

        h.open();
        h.answerYes = true;
        h.form->close();
        QCOMPARE(h.store.value("Version").toString(), QString("1.2"));
        QCOMPARE(h.store.value("IRCServer").toString(), QString("irc.quakenet.org"));
    }

    // What one run saves, the next run shows; an emptied password returns to its default.
    void storedRoundTrip()
    {
        Harness h;
        h.open();
        h.check("ExpertEnable")->click();
        h.field("IrcServer")->setText("irc.example.net");
        h.field("IrcChannel")->setText("#ops");
        h.field("BotPassword")->clear();
        h.field("RTCWServer")->setText("10.0.0.5:27961");
        h.option("ServerMode")->click();
        h.option("GermanEnable")->click();
        h.option("DutchOutputEnable")->click();
        h.check("GoEOFEnable")->click();
        h.check("RestoreEnable")->click();
        h.field("Restore")->setText("12");
        h.check("OSPEnable")->click();
        h.check("MessagesEnable")->click();
        h.check("ShowPlayEnable")->click();
        h.answerYes = true;
        h.form->close();
        const LauncherSettings saved = h.form->settings();

        h.store.setValue("Debug", "11");
        h.open();
        const LauncherSettings loaded = h.form->settings();
        QCOMPARE(loaded.botPassword, QString("KoVarn"));
        QCOMPARE(loaded.debugLevel, 11);
        LauncherSettings expected = saved;
        expected.botPassword = "KoVarn";
        expected.debugLevel = 11;
        QCOMPARE(loaded, expected);
        QCOMPARE(h.field("RTCWServer")->text(), QString("10.0.0.5"));
        QCOMPARE(h.field("RTCWPort")->text(), QString("27961"));
        // The visibility rules follow the loaded values.
        QVERIFY(h.shown("RTCWPort"));
        QVERIFY(h.shown("Restore"));
        QVERIFY(!h.shown("KillsEnable"));
        QVERIFY(!h.check("ShowFragsEnable")->isEnabled());
        h.start();
        QCOMPARE(h.started.size(), 1);
        QCOMPARE(h.started[0],
                 QString("tidecore -p 6667 -n \"SOF2Tidewatch\" -u \"Ferrobot\" -s 0 -c -r 12 "
                         "-x \"mapinfo_sof2.xml\" -y \"irccolors_sof2.cfg\" -w 10.0.0.5 -d 27961 "
                         "-P -v -m -l 1 -k 2 -z -D 11 irc.example.net \"#ops\" \"qconsole.log\" ")
                     .replace("-p 6667", "-b \"KoVarn\" -p 6667"));
    }
};

QTEST_MAIN(FormTest)
#include "test_form.moc"
