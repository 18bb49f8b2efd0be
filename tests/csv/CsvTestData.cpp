#include "CsvTestData.h"

#include "store/Schema.h"
#include "store/Statement.h"
#include "support/Customers.h"

#include <QDate>
#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace csv_testing {

namespace {

struct Connection {
    explicit Connection(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~Connection() { sqlite3_close(db); }
    sqlite3 *db = nullptr;
};

const QStringList &pieces()
{
    static const QStringList words = {
        QStringLiteral("O'Neil"), QStringLiteral("say \"hi\""), QStringLiteral("Smith, Jr."),
        QStringLiteral("Zoë"),    QStringLiteral("Ψυχή"),       QStringLiteral("Иванов"),
        QStringLiteral("山田"),   QStringLiteral("a;b"),        QStringLiteral("tab\there"),
        QStringLiteral("Ann"),    QStringLiteral(" lead"),      QStringLiteral("trail "),
        QStringLiteral("\"\""),   QStringLiteral("=1+2"),       QStringLiteral("x")};
    return words;
}

QString randomText(std::mt19937 &random, int maxLength, bool lines)
{
    QString text;
    const int parts = 1 + int(random() % 4);
    for (int i = 0; i < parts; ++i) {
        if (i > 0)
            text += lines && random() % 3 == 0 ? (random() % 2 ? QStringLiteral("\r\n") : QStringLiteral("\n"))
                                               : QStringLiteral(" ");
        text += pieces().at(int(random() % pieces().size()));
    }
    return maxLength > 0 ? text.left(maxLength) : text;
}

QString digits(std::mt19937 &random, int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar('0' + int(random() % 10));
    return s;
}

QVariant maybeNull(std::mt19937 &random, const QVariant &value)
{
    return random() % 5 == 0 ? QVariant() : value;
}

QString masked(std::mt19937 &random, const QString &mask)
{
    QString s;
    for (QChar c : mask)
        s += c == QLatin1Char('#') || c == QLatin1Char('9') ? digits(random, 1) : QString(c);
    return s;
}

QDate randomDate(std::mt19937 &random)
{
    return QDate(1930, 1, 1).addDays(qint64(random() % 36500));
}

} // namespace

void insertRandomCustomers(const QString &databasePath, int count, std::mt19937 &random)
{
    QList<testing_support::CustomerRow> rows;
    for (int row = 0; row < count; ++row) {
        testing_support::CustomerRow values;
        for (const store::FieldDef &f : store::Schema::information().fields) {
            const QString name = f.name;
            QVariant v;
            switch (f.kind) {
            case store::FieldKind::YesNo: v = qint64(random() % 2); break;
            case store::FieldKind::Long:
                v = maybeNull(random, row % 7 == 0 ? qint64(2147483647) : qint64(random() % 2147483648u));
                break;
            case store::FieldKind::Date: v = maybeNull(random, randomDate(random).toString(Qt::ISODate)); break;
            case store::FieldKind::Memo: v = maybeNull(random, randomText(random, 0, true)); break;
            case store::FieldKind::Text:
                if (name.startsWith(QLatin1String("Combo")))
                    v = masked(random, QStringLiteral("##-##-##"));
                else if (name.endsWith(QLatin1String("Zip")))
                    v = random() % 2 ? masked(random, QStringLiteral("#####-####")) : digits(random, 5);
                else if (name.contains(QLatin1String("Phone")) || name.endsWith(QLatin1String("Fax")))
                    v = masked(random, QStringLiteral("(999)999-9999"));
                else if (name == QLatin1String("SSNumber"))
                    v = masked(random, QStringLiteral("999-99-9999"));
                else if (name == QLatin1String("Gender"))
                    v = QStringList{QStringLiteral("M"), QStringLiteral("F"), QStringLiteral("Ж")}.at(
                        int(random() % 3));
                else if (name == QLatin1String("Birthdate"))
                    v = randomDate(random).toString(QStringLiteral("MM/dd/yyyy"));
                else
                    v = randomText(random, f.maxLength, false);
                v = maybeNull(random, v);
                break;
            }
            values.insert(name, v);
        }
        rows << values;
    }
    testing_support::insertCustomers(databasePath, rows);
}

QList<QVariantList> storedRows(const QString &databasePath, const QString &table)
{
    Connection c(databasePath);
    store::Statement st(c.db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(store::quoteIdentifier(table)));
    QList<QVariantList> rows;
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.value(i);
        rows << row;
    }
    return rows;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace csv_testing
