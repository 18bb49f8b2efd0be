#include "SampleCenter.h"

#include "store/Statement.h"
#include "support/Customers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testing_support {

namespace {

struct Sample {
    const char *first;
    const char *last;
    const char *address1;
    const char *address2;
    const char *city;
    const char *state;
    const char *zip;
    const char *phone1;
    const char *phone2;
    const char *rented;
    const char *expires;
};

// Lockers 101 onwards, in this order.
const Sample kSamples[] = {
    {"Margaret", "Okafor", "412 Elm Street", "", "Springfield", "IL", "62704", "(217)555-0101", "(217)555-0191",
     "2023-11-30", "2024-11-30"},
    {"Daniel", "Brennan", "88 Lakeview Drive", "Apt 4B", "Springfield", "IL", "62702", "(217)555-0102", "",
     "2023-12-15", "2024-12-15"},
    {"Rosa", "Delgado", "1730 North Grand Ave", "", "Chatham", "IL", "62629", "(217)555-0103", "(217)555-0193",
     "2023-12-20", "2024-12-20"},
    {"Thomas", "Whitfield", "9 Cedar Court", "", "Springfield", "IL", "62711", "(217)555-0104", "", "2023-12-31",
     "2024-12-31"},
    {"Aiyana", "Redcloud", "2201 Wabash Avenue", "Unit 12", "Springfield", "IL", "62704", "(217)555-0105", "",
     "2024-01-01", "2025-01-01"},
    {"Frank", "Kowalczyk", "56 Maple Lane", "", "Rochester", "IL", "62563", "(217)555-0106", "(217)555-0196",
     "2024-01-05", "2025-01-05"},
    {"Linda", "Nguyen", "300 South Sixth Street", "", "Springfield", "IL", "62701", "(217)555-0107", "", "2024-01-10",
     "2025-01-10"},
    {"George", "Papadopoulos", "77 Bunn Park Drive", "", "Springfield", "IL", "62703", "(217)555-0108", "",
     "2024-01-15", "2025-01-15"},
    {"Shirley", "Jackson", "1415 Walnut Street", "", "Sherman", "IL", "62684", "(217)555-0109", "(217)555-0199",
     "2024-01-20", "2025-01-20"},
    {"Kevin", "O'Malley", "620 Iles Avenue", "", "Springfield", "IL", "62704", "(217)555-0110", "", "2024-01-25",
     "2025-01-25"},
    {"Patricia", "Lindqvist", "3 Country Club Road", "", "Springfield", "IL", "62712", "(217)555-0111", "",
     "2024-02-01", "2025-02-01"},
    {"Marcus", "Bellweather", "1024 Stanford Avenue", "", "Springfield", "IL", "62703", "(217)555-0112",
     "(217)555-0192", "2024-02-05", "2025-02-05"},
    {"Helen", "Schmidt", "48 Oak Knoll Drive", "", "Petersburg", "IL", "62675", "(217)555-0113", "", "2024-02-10",
     "2025-02-10"},
    {"Raymond", "Castillo", "2600 Peoria Road", "Lot 31", "Springfield", "IL", "62702", "(217)555-0114", "",
     "2024-02-14", "2025-02-14"},
    {"Dorothy", "Abernathy-Price", "715 West Monroe Street", "", "Springfield", "IL", "62704", "(217)555-0115", "",
     "2024-02-20", "2025-02-20"},
    {"Walter", "Yamamoto", "19 Sunset Terrace", "", "Auburn", "IL", "62615", "(217)555-0116", "(217)555-0186",
     "2024-02-25", "2025-02-25"},
    {"Brenda", "McAllister", "1188 Wiggins Avenue", "", "Springfield", "IL", "62704", "(217)555-0117", "", "2024-03-01",
     "2025-03-01"},
    {"Samuel", "Osei", "402 Black Avenue", "", "Springfield", "IL", "62702", "(217)555-0118", "", "2024-03-03",
     "2025-03-03"},
    {"Joan", "Fitzgerald", "65 Clearlake Road", "", "Riverton", "IL", "62561", "(217)555-0119", "", "2024-03-06",
     "2025-03-06"},
    {"Victor", "Haddad", "2930 Lindbergh Boulevard", "Suite 200", "Springfield", "IL", "62704", "(217)555-0120",
     "(217)555-0180", "2024-03-09", "2025-03-09"},
    {"Carol", "Svensson", "14 Bruns Lane", "", "Springfield", "IL", "62702", "(217)555-0121", "", "2024-03-12",
     "2025-03-12"},
    {"Anthony", "DiMarco", "820 Spring Street", "", "Springfield", "IL", "62704", "(217)555-0122", "", "2024-03-15",
     "2025-03-15"},
    {"Gloria", "Washington", "5 Timber Creek", "", "Chatham", "IL", "62629", "(217)555-0123", "", "2024-03-18",
     "2025-03-18"},
    {"Henry", "Lachance", "1601 Chatham Road", "", "Springfield", "IL", "62704", "(217)555-0124", "(217)555-0184",
     "2024-03-20", "2025-03-20"},
    {"Irene", "Kaczmarek", "37 Holmes Avenue", "", "Springfield", "IL", "62704", "(217)555-0125", "", "2024-03-22",
     "2025-03-22"},
    {"Jerome", "Achterberg", "2505 South Fifteenth St", "", "Springfield", "IL", "62703", "(217)555-0126", "",
     "2024-03-24", "2025-03-24"},
    {"Karen", "Ibrahim", "99 Meadowbrook Road", "", "Springfield", "IL", "62711", "(217)555-0127", "", "2024-03-26",
     "2025-03-26"},
    {"Leonard", "Zimmermann", "1212 Leland Avenue", "", "Springfield", "IL", "62704", "(217)555-0128", "(217)555-0188",
     "2024-03-28", "2025-03-28"},
    {"Monica", "Esposito", "460 Whittier Avenue", "", "Springfield", "IL", "62704", "(217)555-0129", "", "2024-03-30",
     "2025-03-30"},
    {"Norman", "Quigley", "8 Lake Shore Drive", "", "Springfield", "IL", "62712", "(217)555-0130", "", "2024-03-31",
     "2025-03-31"},
};
static_assert(std::size(kSamples) == kSampleCustomers);

QVariant textOrNull(const char *text)
{
    return *text ? QVariant(QString::fromUtf8(text)) : QVariant();
}

} // namespace

void fillSampleCenter(const QString &databasePath)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath.toUtf8().constData(), &db), SQLITE_OK);
    store::EngineError e;
    ASSERT_TRUE(store::execSql(db, QStringLiteral("BEGIN"), &e));
    QList<testing_support::CustomerRow> rows;
    int locker = 101;
    for (const Sample &s : kSamples) {
        rows.append({{"LockerNumber", locker},
                     {"KeyNumber", 500 + locker},
                     {"KeyDeposit", (locker % 3 == 0) ? 10 : 5},
                     {"Combo1", QStringLiteral("%1-%2-%3").arg(locker % 40).arg(locker % 37).arg(locker % 31)},
                     {"DateRented", QString::fromLatin1(s.rented)},
                     {"DateToRenew", QString::fromLatin1(s.expires)},
                     {"FirstName", textOrNull(s.first)},
                     {"LastName", textOrNull(s.last)},
                     {"Address1", textOrNull(s.address1)},
                     {"Address2", textOrNull(s.address2)},
                     {"City", textOrNull(s.city)},
                     {"State", textOrNull(s.state)},
                     {"Zip", textOrNull(s.zip)},
                     {"Phone1", textOrNull(s.phone1)},
                     {"Phone2", textOrNull(s.phone2)},
                     {"VIBNumber", 0},
                     {"Adult", 1}});
        ++locker;
    }
    testing_support::insertCustomers(db, rows);
    const bool ok = store::execSql(
        db,
        QStringLiteral(
            "UPDATE CenterInformation SET YearlyRate = '45.00', Period = '365', CenterName = 'Capitol Lanes', "
            "CenterAddress1 = '2801 South Sixth Street', CenterAddress2 = 'Springfield, IL 62703', "
            "CenterPhone = '(217)555-0100', CenterFax = '(217)555-0150', ManagerName = 'Eleanor Briggs'"),
        &e);
    ASSERT_TRUE(ok) << e.text.toStdString();
    ASSERT_TRUE(store::execSql(db, QStringLiteral("COMMIT"), &e));
    sqlite3_close(db);
}

void installDeliveredReports(const QString &folder)
{
    const QDir source(QStringLiteral(VANTREL_REPORT_FILES_DIR));
    for (const QString &name : source.entryList({QStringLiteral("*.rpt")}, QDir::Files)) {
        QFile::remove(QDir(folder).filePath(name));
        ASSERT_TRUE(QFile::copy(source.filePath(name), QDir(folder).filePath(name))) << name.toStdString();
    }
}

QStringList pdfTexts(const QStringList &pdfPaths)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QString &path : pdfPaths) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    }
    QStringList texts;
    for (size_t i = 0; i < processes.size(); ++i) {
        QProcess &p = *processes[i];
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            ADD_FAILURE() << "pdftotext failed on " << pdfPaths.at(qsizetype(i)).toStdString() << ": "
                          << p.readAllStandardError().toStdString();
            texts << QString();
            continue;
        }
        texts << QString::fromUtf8(p.readAllStandardOutput());
    }
    return texts;
}

QString pdfText(const QString &pdfPath)
{
    return pdfTexts({pdfPath}).first();
}

QStringList pdfPages(const QString &pdfPath)
{
    QStringList pages = pdfText(pdfPath).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace testing_support
