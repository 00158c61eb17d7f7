// The Tidepanel window: the settings form, its visibility rules and its handlers.
#pragma once

#include "process_starter.h"
#include "settings.h"

#include <QHash>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;

namespace tidepanel {

// Filters of the three file choosers, in Qt's notation.
QString log_file_filter();
QString map_file_filter();
QString color_file_filter();

// Everything the form does to the world outside its own controls; tests replace these.
struct FormHooks {
    // A message box with an OK button only.
    std::function<void(QWidget *parent, const QString &title, const QString &text)> inform;
    // A Yes/No question; true for Yes.
    std::function<bool(QWidget *parent, const QString &title, const QString &text)> ask;
    // A file-open dialog; returns the chosen path or an empty text.
    std::function<QString(QWidget *parent, const QString &current, const QString &filter)> chooseFile;
    ProcessStarter startRelay;
};

// Hooks that show real dialogs and really start the relay.
FormHooks desktop_hooks();

class TidepanelForm : public QWidget {
    Q_OBJECT

public:
    // Reads the stored settings from `store` at once; `store` must outlive the form.
    TidepanelForm(QSettings &store, FormHooks hooks, QWidget *parent = nullptr);

    LauncherSettings settings() const;   // what the controls hold now
    void showSettings(const LauncherSettings &s);

    void loadStoredSettings();
    bool saveStoredSettings();

public Q_SLOTS:
    void start();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLineEdit *addField(const char *name, const QString &text);
    QCheckBox *addCheck(const char *name, const QString &caption);
    QRadioButton *addOption(const char *name, const QString &caption);
    void setShown(QWidget *w, bool shown);
    void applyVisibility();
    void gameServerEdited(const QString &text);
    void browse(QLineEdit *field, const QString &filter);
    void fitStatus();
    void watchRelay(const StartOutcome &started);

    QSettings &store_;
    FormHooks hooks_;
    int debugLevel_ = 0;
    int starts_ = 0;  // counts the relays started, so a watch knows whether it is the latest
    QHash<QWidget *, QWidget *> companions_;  // a field's label (and unit) follow the field

    QLineEdit *ircServer_, *ircPort_, *ircChannel_, *ircChannelKey_, *ircNick_, *ircUser_,
        *botPassword_, *qUser_, *qPass_, *logFile_, *mapFile_, *colorFile_, *gameServer_,
        *gamePort_, *kills_, *restore_;
    QRadioButton *clientMode_, *serverMode_, *englishIn_, *germanIn_, *englishOut_, *germanOut_,
        *dutchOut_;
    QCheckBox *expert_, *showPlay_, *showFrags_, *useClientTime_, *playerStats_, *killsEnable_,
        *restoreEnable_, *goEOF_, *messages_, *osp_, *wait_, *quiet_, *team_, *delete_;
    QPushButton *browseLog_, *browseMap_, *browseColor_, *startButton_;
    QLabel *status_;
};

}  // namespace tidepanel
