// The floor of the start benchmark: a Qt program that shows the main menu's
// menu bar, picture and button and nothing else, and ends once shown.
#include "about/ProgramPicture.h"
#include "bench/StartTiming.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Main Menu"));
    for (const char *menu : {"&Database", "&Print", "&Modify", "&Help"})
        window.menuBar()->addMenu(QString::fromLatin1(menu))->addAction(QStringLiteral("Item"));
    auto *central = new QWidget(&window);
    auto *layout = new QVBoxLayout(central);
    auto *picture = new QLabel(central);
    picture->setPixmap(about::programPicture(QSize(480, 280)));
    layout->addWidget(picture);
    layout->addWidget(new QPushButton(QStringLiteral("E&xit"), central));
    window.setCentralWidget(central);
    bench::quitWhenExposed(&window);
    window.show();
    return application.exec();
}
