#include "app/frmMainMenu.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.34"));

    // At start only the main menu is shown; the database is first touched
    // when a data window opens.
    app::frmMainMenu mainMenu;
    mainMenu.show();
    return app.exec();
}
