// Writes the desktop's icon files from the program's own drawing of its
// icon: vantrel.svg and vantrel-SIZE.png for each size given.
#include "about/ProgramPicture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vantrel-icons FOLDER SIZE...\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "vantrel-icons: %s cannot be created\n", argv[1]);
        return 1;
    }

    constexpr int kSvgSide = 64;
    QSvgGenerator svg;
    svg.setFileName(folder.filePath(QStringLiteral("vantrel.svg")));
    svg.setSize(QSize(kSvgSide, kSvgSide));
    svg.setViewBox(QRect(0, 0, kSvgSide, kSvgSide));
    svg.setTitle(QStringLiteral("Vantrel"));
    svg.setDescription(QStringLiteral("A locker door with a bowling ball"));
    {
        QPainter p(&svg);
        if (!p.isActive()) {
            std::fprintf(stderr, "vantrel-icons: the SVG file cannot be written\n");
            return 1;
        }
        about::paintProgramIcon(p, kSvgSide);
    }

    for (int i = 2; i < argc; ++i) {
        const int side = QString::fromLocal8Bit(argv[i]).toInt();
        if (side <= 0) {
            std::fprintf(stderr, "vantrel-icons: %s is not a size\n", argv[i]);
            return 2;
        }
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            about::paintProgramIcon(p, side);
        }
        const QString name = folder.filePath(QStringLiteral("vantrel-%1.png").arg(side));
        if (!image.save(name)) {
            std::fprintf(stderr, "vantrel-icons: %s cannot be written\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
