#include "form.h"

#include "checks.h"
#include "command_line.h"
#include "store.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace tidepanel {

namespace {

// "All Files" means every file; outside Windows "*.*" would skip names without a dot.
QString all_files()
{
#ifdef Q_OS_WIN
    return QStringLiteral("All Files (*.*)");
#else
    return QStringLiteral("All Files (*)");
#endif
}

const QString kOops = QStringLiteral("Oops");

// A relay that ends within this time after Start has not really started. The relay
// waits five seconds before it ends, so its message can be read in its console.
constexpr qint64 kEarlyEndMs = 10000;

// The last line of the relay's console output that holds more than blanks.
QString last_console_line(const QString &path)
{
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly))
        return {};
    if (f.size() > 4096)
        f.seek(f.size() - 4096);
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (!it->trimmed().isEmpty())
            return QString::fromLocal8Bit(it->trimmed());
    return {};
}

}  // namespace

QString log_file_filter() { return all_files() + ";;Text Files (*.txt);;Log Files (*.log)"; }
QString map_file_filter() { return all_files() + ";;Text Files (*.txt);;XML Files (*.xml)"; }
QString color_file_filter() { return all_files() + ";;Text Files (*.txt);;Config Files (*.cfg)"; }

FormHooks desktop_hooks()
{
    FormHooks h;
    h.inform = [](QWidget *parent, const QString &title, const QString &text) {
        QMessageBox::warning(parent, title, text, QMessageBox::Ok);
    };
    h.ask = [](QWidget *parent, const QString &title, const QString &text) {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
    h.chooseFile = [](QWidget *parent, const QString &current, const QString &filter) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Choose a file"),
                                            QFileInfo(current).absolutePath(), filter);
    };
    h.startRelay = start_relay_detached;
    return h;
}

QLineEdit *TidepanelForm::addField(const char *name, const QString &text)
{
    auto *field = new QLineEdit(text, this);
    field->setObjectName(QLatin1String(name));
    return field;
}

QCheckBox *TidepanelForm::addCheck(const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, this);
    box->setObjectName(QLatin1String(name));
    return box;
}

QRadioButton *TidepanelForm::addOption(const char *name, const QString &caption)
{
    auto *button = new QRadioButton(caption, this);
    button->setObjectName(QLatin1String(name));
    return button;
}

TidepanelForm::TidepanelForm(QSettings &store, FormHooks hooks, QWidget *parent)
    : QWidget(parent), store_(store), hooks_(std::move(hooks))
{
    const FormHooks desktop = desktop_hooks();
    if (!hooks_.inform)
        hooks_.inform = desktop.inform;
    if (!hooks_.ask)
        hooks_.ask = desktop.ask;
    if (!hooks_.chooseFile)
        hooks_.chooseFile = desktop.chooseFile;
    if (!hooks_.startRelay)
        hooks_.startRelay = desktop.startRelay;
    const LauncherSettings d;  // built-in defaults
    setWindowTitle(QStringLiteral("Tidepanel"));

    ircServer_ = addField("IrcServer", d.ircServer);
    ircPort_ = addField("IrcPort", d.ircPort);
    ircChannel_ = addField("IrcChannel", d.ircChannel);
    ircChannelKey_ = addField("IRCChannelKey", d.ircChannelKey);
    ircNick_ = addField("IrcNick", d.ircNick);
    ircUser_ = addField("IrcUser", d.ircUser);
    botPassword_ = addField("BotPassword", d.botPassword);
    qUser_ = addField("QUser", d.qUser);
    qPass_ = addField("QPass", d.qPass);
    logFile_ = addField("RTCWLogFile", d.rtcwLogFile);
    mapFile_ = addField("RTCWMapFile", d.rtcwMapFile);
    colorFile_ = addField("RTCWColorFile", d.rtcwColorFile);
    gameServer_ = addField("RTCWServer", d.rtcwServer);
    gameServer_->setToolTip(QStringLiteral("OPTIONAL: Server IP or Name"));
    gamePort_ = addField("RTCWPort", d.rtcwPort);
    kills_ = addField("Kills", d.kills);
    restore_ = addField("Restore", d.restore);
    for (QLineEdit *narrow : {ircPort_, gamePort_, kills_, restore_})
        narrow->setMaximumWidth(90);

    clientMode_ = addOption("ClientMode", QStringLiteral("ClientLog"));
    serverMode_ = addOption("ServerMode", QStringLiteral("ServerLog"));
    englishIn_ = addOption("EnglishEnable", QStringLiteral("English"));
    germanIn_ = addOption("GermanEnable", QStringLiteral("German"));
    englishOut_ = addOption("EnglishOutputEnable", QStringLiteral("English"));
    germanOut_ = addOption("GermanOutputEnable", QStringLiteral("German"));
    dutchOut_ = addOption("DutchOutputEnable", QStringLiteral("Dutch"));

    expert_ = addCheck("ExpertEnable", QStringLiteral("Expert mode"));
    showPlay_ = addCheck("ShowPlayEnable", QStringLiteral("Show Game Play"));
    showFrags_ = addCheck("ShowFragsEnable", QStringLiteral("Show Frags"));
    useClientTime_ = addCheck("UseClientTimeEnable", QStringLiteral("Show Match Time"));
    playerStats_ = addCheck("PlayerStatsEnable", QStringLiteral("Show [Kills/Deaths]"));
    killsEnable_ = addCheck("KillsEnable", QStringLiteral("Show stats after"));
    restoreEnable_ = addCheck("RestoreEnable", QStringLiteral("Continue from line"));
    goEOF_ = addCheck("GoEOFEnable", QStringLiteral("Start from EOF"));
    messages_ = addCheck("MessagesEnable", QStringLiteral("Messages On"));
    osp_ = addCheck("OSPEnable", QStringLiteral("Enable OSP"));
    wait_ = addCheck("WaitEnable", QStringLiteral("Wait before opening"));
    quiet_ = addCheck("QuietEnable", QStringLiteral("Quiet Mode"));
    team_ = addCheck("TeamEnable", QStringLiteral("Team mode"));
    delete_ = addCheck("DeleteEnable", QStringLiteral("Delete before opening"));

    auto makeButton = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    browseLog_ = makeButton("BrowseLog", QStringLiteral("Browse"));
    browseMap_ = makeButton("BrowseMap", QStringLiteral("Browse"));
    browseColor_ = makeButton("BrowseColor", QStringLiteral("Browse"));
    startButton_ = makeButton("StartButton", QStringLiteral("Start"));
    startButton_->setDefault(true);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Labels belong to their field: they are hidden and shown with it.
    auto label = [this](const QString &text, QWidget *field) {
        auto *l = new QLabel(text, this);
        l->setBuddy(field);
        companions_[field] = l;
        return l;
    };

    // IRC connection.
    auto *ircBox = new QGroupBox(QStringLiteral("IRC"), this);
    auto *ig = new QGridLayout(ircBox);
    ig->addWidget(label(QStringLiteral("Server"), ircServer_), 0, 0);
    ig->addWidget(ircServer_, 0, 1);
    ig->addWidget(label(QStringLiteral("Port"), ircPort_), 0, 2);
    ig->addWidget(ircPort_, 0, 3);
    ig->addWidget(label(QStringLiteral("Channel"), ircChannel_), 1, 0);
    ig->addWidget(ircChannel_, 1, 1);
    ig->addWidget(label(QStringLiteral("Key"), ircChannelKey_), 1, 2);
    ig->addWidget(ircChannelKey_, 1, 3);
    ig->addWidget(label(QStringLiteral("Nick"), ircNick_), 2, 0);
    ig->addWidget(ircNick_, 2, 1);
    ig->addWidget(label(QStringLiteral("User"), ircUser_), 2, 2);
    ig->addWidget(ircUser_, 2, 3);
    ig->addWidget(label(QStringLiteral("Bot Password"), botPassword_), 3, 0);
    ig->addWidget(botPassword_, 3, 1);
    ig->addWidget(label(QStringLiteral("Q User"), qUser_), 4, 0);
    ig->addWidget(qUser_, 4, 1);
    ig->addWidget(label(QStringLiteral("Q Pass"), qPass_), 4, 2);
    ig->addWidget(qPass_, 4, 3);
    ig->setColumnStretch(1, 3);
    ig->setColumnStretch(3, 1);

    // Game log and game server.
    auto *gameBox = new QGroupBox(QStringLiteral("Game"), this);
    auto *gg = new QGridLayout(gameBox);
    gg->addWidget(label(QStringLiteral("Logfile"), logFile_), 0, 0);
    gg->addWidget(logFile_, 0, 1);
    gg->addWidget(browseLog_, 0, 2);
    gg->addWidget(label(QStringLiteral("Mapfile"), mapFile_), 1, 0);
    gg->addWidget(mapFile_, 1, 1);
    gg->addWidget(browseMap_, 1, 2);
    gg->addWidget(label(QStringLiteral("Colorfile"), colorFile_), 2, 0);
    gg->addWidget(colorFile_, 2, 1);
    gg->addWidget(browseColor_, 2, 2);
    gg->addWidget(label(QStringLiteral("Server"), gameServer_), 3, 0);
    auto *serverRow = new QHBoxLayout;
    serverRow->addWidget(gameServer_, 3);
    serverRow->addWidget(label(QStringLiteral("Port"), gamePort_));
    serverRow->addWidget(gamePort_, 1);
    gg->addLayout(serverRow, 3, 1, 1, 2);
    gg->setColumnStretch(1, 1);

    // The three groups of option buttons.
    auto optionGroup = [this](const QString &title, std::initializer_list<QRadioButton *> buttons) {
        auto *box = new QGroupBox(title, this);
        auto *l = new QVBoxLayout(box);
        auto *group = new QButtonGroup(box);
        for (QRadioButton *b : buttons) {
            l->addWidget(b);
            group->addButton(b);
        }
        l->addStretch(1);
        return box;
    };
    auto *options = new QHBoxLayout;
    options->addWidget(optionGroup(QStringLiteral("Log"), {clientMode_, serverMode_}));
    options->addWidget(optionGroup(QStringLiteral("Log language"), {englishIn_, germanIn_}));
    options->addWidget(optionGroup(QStringLiteral("IRC language"), {englishOut_, germanOut_, dutchOut_}));

    // What the relay reports.
    auto *reportBox = new QGroupBox(QStringLiteral("Reports"), this);
    auto *rg = new QGridLayout(reportBox);
    rg->addWidget(showPlay_, 0, 0);
    rg->addWidget(showFrags_, 0, 1);
    rg->addWidget(useClientTime_, 1, 0);
    rg->addWidget(playerStats_, 1, 1);
    auto *killsRow = new QHBoxLayout;
    killsRow->addWidget(killsEnable_);
    killsRow->addWidget(kills_);
    auto *frags = new QLabel(QStringLiteral("frags"), this);
    companions_[kills_] = frags;
    killsRow->addWidget(frags);
    killsRow->addStretch(1);
    rg->addLayout(killsRow, 2, 0);
    rg->addWidget(messages_, 2, 1);
    rg->addWidget(osp_, 3, 0);

    // How the relay starts on the log.
    auto *startBox = new QGroupBox(QStringLiteral("Start-up"), this);
    auto *sg = new QGridLayout(startBox);
    sg->addWidget(goEOF_, 0, 0);
    auto *restoreRow = new QHBoxLayout;
    restoreRow->addWidget(restoreEnable_);
    restoreRow->addWidget(restore_);
    restoreRow->addStretch(1);
    sg->addLayout(restoreRow, 0, 1);
    sg->addWidget(delete_, 1, 0);
    sg->addWidget(wait_, 1, 1);
    sg->addWidget(quiet_, 2, 0);
    sg->addWidget(team_, 2, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(expert_);
    bottom->addStretch(1);
    bottom->addWidget(startButton_);

    auto *main = new QVBoxLayout(this);
    main->addWidget(ircBox);
    main->addWidget(gameBox);
    main->addLayout(options);
    auto *lower = new QHBoxLayout;
    lower->addWidget(reportBox, 1);
    lower->addWidget(startBox, 1);
    main->addLayout(lower);
    main->addStretch(1);
    main->addLayout(bottom);
    main->addWidget(status_);

    for (QCheckBox *box : {expert_, goEOF_, restoreEnable_, killsEnable_, showPlay_})
        connect(box, &QCheckBox::toggled, this, &TidepanelForm::applyVisibility);
    connect(clientMode_, &QRadioButton::toggled, this, &TidepanelForm::applyVisibility);
    // Expert mode adds or removes whole rows; fit the window's height to them.
    connect(expert_, &QCheckBox::toggled, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                resize(width(), sizeHint().height());
        });
    });
    connect(gameServer_, &QLineEdit::textChanged, this, &TidepanelForm::gameServerEdited);
    connect(startButton_, &QPushButton::clicked, this, &TidepanelForm::start);
    connect(browseLog_, &QPushButton::clicked, this, [this] { browse(logFile_, log_file_filter()); });
    connect(browseMap_, &QPushButton::clicked, this, [this] { browse(mapFile_, map_file_filter()); });
    connect(browseColor_, &QPushButton::clicked, this, [this] { browse(colorFile_, color_file_filter()); });

    showSettings(d);
    loadStoredSettings();
}

LauncherSettings TidepanelForm::settings() const
{
    LauncherSettings s;
    s.ircServer = ircServer_->text();
    s.ircPort = ircPort_->text();
    s.ircChannel = ircChannel_->text();
    s.ircChannelKey = ircChannelKey_->text();
    s.ircNick = ircNick_->text();
    s.ircUser = ircUser_->text();
    s.botPassword = botPassword_->text();
    s.qUser = qUser_->text();
    s.qPass = qPass_->text();
    s.rtcwLogFile = logFile_->text();
    s.rtcwMapFile = mapFile_->text();
    s.rtcwColorFile = colorFile_->text();
    s.rtcwServer = gameServer_->text();
    s.rtcwPort = gamePort_->text();
    s.kills = kills_->text();
    s.restore = restore_->text();

    s.mode = serverMode_->isChecked() ? LogMode::Server : LogMode::Client;
    s.logLanguage = germanIn_->isChecked() ? LogLanguage::German : LogLanguage::English;
    s.ircLanguage = germanOut_->isChecked()  ? IrcLanguage::German
                    : dutchOut_->isChecked() ? IrcLanguage::Dutch
                                             : IrcLanguage::English;

    s.expertEnable = expert_->isChecked();
    s.showPlayEnable = showPlay_->isChecked();
    s.showFragsEnable = showFrags_->isChecked();
    s.useClientTimeEnable = useClientTime_->isChecked();
    s.playerStatsEnable = playerStats_->isChecked();
    s.killsEnable = killsEnable_->isChecked();
    s.restoreEnable = restoreEnable_->isChecked();
    s.goEOFEnable = goEOF_->isChecked();
    s.messagesEnable = messages_->isChecked();
    s.ospEnable = osp_->isChecked();
    s.waitEnable = wait_->isChecked();
    s.quietEnable = quiet_->isChecked();
    s.teamEnable = team_->isChecked();
    s.deleteEnable = delete_->isChecked();
    s.debugLevel = debugLevel_;
    return s;
}

void TidepanelForm::showSettings(const LauncherSettings &s)
{
    ircServer_->setText(s.ircServer);
    ircPort_->setText(s.ircPort);
    ircChannel_->setText(s.ircChannel);
    ircChannelKey_->setText(s.ircChannelKey);
    ircNick_->setText(s.ircNick);
    ircUser_->setText(s.ircUser);
    botPassword_->setText(s.botPassword);
    qUser_->setText(s.qUser);
    qPass_->setText(s.qPass);
    logFile_->setText(s.rtcwLogFile);
    mapFile_->setText(s.rtcwMapFile);
    colorFile_->setText(s.rtcwColorFile);
    // The port first: setting a server text that holds a colon moves its tail there.
    gamePort_->setText(s.rtcwPort);
    gameServer_->setText(s.rtcwServer);
    kills_->setText(s.kills);
    restore_->setText(s.restore);

    (s.mode == LogMode::Server ? serverMode_ : clientMode_)->setChecked(true);
    (s.logLanguage == LogLanguage::German ? germanIn_ : englishIn_)->setChecked(true);
    (s.ircLanguage == IrcLanguage::German  ? germanOut_
     : s.ircLanguage == IrcLanguage::Dutch ? dutchOut_
                                           : englishOut_)
        ->setChecked(true);

    expert_->setChecked(s.expertEnable);
    showPlay_->setChecked(s.showPlayEnable);
    showFrags_->setChecked(s.showFragsEnable);
    useClientTime_->setChecked(s.useClientTimeEnable);
    playerStats_->setChecked(s.playerStatsEnable);
    killsEnable_->setChecked(s.killsEnable);
    restoreEnable_->setChecked(s.restoreEnable);
    goEOF_->setChecked(s.goEOFEnable);
    messages_->setChecked(s.messagesEnable);
    osp_->setChecked(s.ospEnable);
    wait_->setChecked(s.waitEnable);
    quiet_->setChecked(s.quietEnable);
    team_->setChecked(s.teamEnable);
    delete_->setChecked(s.deleteEnable);
    debugLevel_ = s.debugLevel;
    applyVisibility();
}

void TidepanelForm::loadStoredSettings()
{
    LauncherSettings s = settings();
    if (load_settings(store_, s))
        showSettings(s);
}

bool TidepanelForm::saveStoredSettings() { return save_settings(store_, settings()); }

void TidepanelForm::setShown(QWidget *w, bool shown)
{
    w->setVisible(shown);
    if (QWidget *companion = companions_.value(w))
        companion->setVisible(shown);
}

// Which controls are on view follows from the check boxes and the mode alone, so
// the same rules hold whatever order the user clicks things in.
void TidepanelForm::applyVisibility()
{
    const bool expert = expert_->isChecked();
    const bool client = clientMode_->isChecked();

    for (QWidget *w : std::initializer_list<QWidget *>{
             ircUser_, qUser_, qPass_, mapFile_, browseMap_, colorFile_, browseColor_, gameServer_,
             osp_, playerStats_, goEOF_, quiet_, showPlay_, showFrags_})
        setShown(w, expert);
    setShown(gamePort_, expert && !gameServer_->text().isEmpty());
    setShown(restoreEnable_, expert && !goEOF_->isChecked());
    setShown(restore_, expert && !goEOF_->isChecked() && restoreEnable_->isChecked());
    setShown(useClientTime_, expert && client);
    setShown(killsEnable_, expert && client);
    setShown(kills_, expert && client && killsEnable_->isChecked());
    showFrags_->setEnabled(showPlay_->isChecked());
}

// "host:port" typed or pasted into the game server field is taken apart: the host
// stays, the port goes to the port field, and the user continues typing there.
void TidepanelForm::gameServerEdited(const QString &text)
{
    const qsizetype colon = text.indexOf(u':', 1);
    if (colon > 0) {
        gamePort_->setText(text.mid(colon + 1));
        gameServer_->setText(text.left(colon));  // comes back here without a colon
        applyVisibility();
        gamePort_->setFocus();
        return;
    }
    applyVisibility();
}

void TidepanelForm::browse(QLineEdit *field, const QString &filter)
{
    const QString chosen = hooks_.chooseFile(this, field->text(), filter);
    if (!chosen.isEmpty())
        field->setText(chosen);
}

void TidepanelForm::start()
{
    LauncherSettings s = settings();

    // The old log goes first, even if a check below then stops the start.
    if (s.deleteEnable && !s.rtcwLogFile.isEmpty() && QFileInfo(s.rtcwLogFile).isFile())
        QFile::remove(s.rtcwLogFile);

    const CheckOutcome check = check_settings(s);
    if (check.killsCorrected)
        kills_->setText(QStringLiteral("20"));
    if (!check.ok()) {
        hooks_.inform(this, kOops, check.message);
        return;
    }

    const QString line = build_command_line(s);
    const StartOutcome started = hooks_.startRelay(line);
    if (!started.started) {
        status_->setText(QString());
        hooks_.inform(this, kOops, QStringLiteral("Could not start the relay: ") + started.error);
        return;
    }
    QString text = QStringLiteral("Started: ") + line.trimmed();
    if (!started.consoleLog.isEmpty())
        text += QStringLiteral("\nConsole output: ") + started.consoleLog;
    status_->setText(text);
    fitStatus();
    watchRelay(started);
}

// The wrapped status lines need height of their own; grow the window for them
// instead of letting the layout squeeze the fields above.
void TidepanelForm::fitStatus()
{
    if (isVisible() && layout()->hasHeightForWidth()) {
        const int needed = layout()->totalHeightForWidth(width());
        if (needed > height())
            resize(width(), needed);
    }
}

// A relay that ends within a few seconds says why in its last console line; the
// form then shows that line and the exit code instead of "Started". A relay that
// ends later is only reaped.
void TidepanelForm::watchRelay(const StartOutcome &started)
{
    ++starts_;
    if (!started.exitCode)
        return;
    auto *timer = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const int start = starts_;
    connect(timer, &QTimer::timeout, this, [this, timer, clock, start, started] {
        const std::optional<int> code = started.exitCode();
        if (!code) {
            if (clock->elapsed() > kEarlyEndMs)
                timer->setInterval(2000);
            return;
        }
        timer->deleteLater();
        if (clock->elapsed() > kEarlyEndMs + 200 || start != starts_)
            return;
        QString text = QStringLiteral("The relay ended at once with exit code %1.").arg(*code);
        const QString last = last_console_line(started.consoleLog);
        if (!last.isEmpty())
            text += QStringLiteral("\nLast console line: ") + last;
        if (!started.consoleLog.isEmpty())
            text += QStringLiteral("\nConsole output: ") + started.consoleLog;
        status_->setText(text);
        fitStatus();
    });
    timer->start(100);
}

void TidepanelForm::closeEvent(QCloseEvent *event)
{
    const QString title = QStringLiteral("Save Tidepanel Options");
    if (hooks_.ask(this, title, QStringLiteral("Save Options?")) && !saveStoredSettings())
        hooks_.inform(this, title, QStringLiteral("The options could not be saved to ") + store_.fileName());
    event->accept();
}

}  // namespace tidepanel
