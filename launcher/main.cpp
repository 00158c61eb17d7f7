// Tidepanel: the settings form that starts the Tidecore relay.
#include "form.h"
#include "store.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brackwater"));
    QCoreApplication::setApplicationName(QStringLiteral("Tidepanel"));

    auto store = tidepanel::open_settings_store();
    tidepanel::TidepanelForm form(*store, tidepanel::desktop_hooks());
    form.show();
    return app.exec();
}
