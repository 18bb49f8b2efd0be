// A desk that saves without end: every customer of the server named by its
// argument gets the same new text in LastName and City, one save each. The
// crash test kills it at random moments.
#include "store/DBEngine.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: desk_save_helper URL\n");
        return 2;
    }
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(QString::fromLocal8Bit(argv[1]), &e);
    auto rs = db ? db->OpenRecordset(QStringLiteral("Information"), store::Recordset::Dynaset, &e) : nullptr;
    for (int round = 0; rs; ++round) {
        for (int i = 0; i < rs->RecordCount(); ++i) {
            const QString text = QStringLiteral("Save %1 by %2").arg(round).arg(QCoreApplication::applicationPid());
            if (!rs->moveTo(i, &e) || !rs->Edit(&e) || !rs->setValue(QStringLiteral("LastName"), text, &e)
                || !rs->setValue(QStringLiteral("City"), text, &e) || !rs->Update(&e)) {
                std::fprintf(stderr, "%s\n", qPrintable(e.text));
                return 1;
            }
        }
        if (round == 0) {
            std::printf("saving\n");
            std::fflush(stdout);
        }
    }
    std::fprintf(stderr, "%s\n", qPrintable(e.text));
    return 1;
}
