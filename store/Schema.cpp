#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace store {

int typeCode(FieldKind kind)
{
    switch (kind) {
    case FieldKind::YesNo: return 1;
    case FieldKind::Long: return 4;
    case FieldKind::Date: return 8;
    case FieldKind::Text: return 10;
    case FieldKind::Memo: return 12;
    }
    return 10;
}

QString declaredType(FieldKind kind, int maxLength)
{
    switch (kind) {
    case FieldKind::YesNo: return QStringLiteral("BOOLEAN");
    case FieldKind::Long: return QStringLiteral("INTEGER");
    case FieldKind::Date: return QStringLiteral("DATETEXT");
    case FieldKind::Text: return QStringLiteral("VARCHAR(%1)").arg(maxLength > 0 ? maxLength : 255);
    case FieldKind::Memo: return QStringLiteral("LONGTEXT");
    }
    return QStringLiteral("TEXT");
}

FieldKind kindFromDeclaredType(const QString &declared)
{
    const QString t = declared.trimmed().toUpper();
    if (t == QLatin1String("BOOLEAN") || t == QLatin1String("YESNO") || t == QLatin1String("BIT"))
        return FieldKind::YesNo;
    if (t.contains(QLatin1String("INT")) || t == QLatin1String("LONG"))
        return FieldKind::Long;
    if (t.startsWith(QLatin1String("DATE")))
        return FieldKind::Date;
    if (t == QLatin1String("LONGTEXT") || t == QLatin1String("MEMO") || t.contains(QLatin1String("CLOB")))
        return FieldKind::Memo;
    return FieldKind::Text;
}

int TableDef::fieldIndex(const QString &name) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const FieldDef *TableDef::field(const QString &name) const
{
    const int i = fieldIndex(name);
    return i < 0 ? nullptr : &fields.at(i);
}

const IndexDef *TableDef::index(const QString &name) const
{
    for (const IndexDef &ix : indexes) {
        if (ix.name.compare(name, Qt::CaseInsensitive) == 0)
            return &ix;
    }
    return nullptr;
}

QStringList TableDef::fieldNames() const
{
    QStringList names;
    for (const FieldDef &f : fields)
        names << f.name;
    return names;
}

namespace Schema {

const TableDef &information()
{
    static const TableDef def = [] {
        TableDef t;
        t.name = QStringLiteral("Information");
        auto add = [&t](const char *name, FieldKind kind, int length = 50) {
            t.fields.append({QString::fromLatin1(name), kind, kind == FieldKind::Text ? length : 0});
        };
        add("LockerNumber", FieldKind::Long);
        add("KeyNumber", FieldKind::Long);
        add("KeyDeposit", FieldKind::Long);
        add("Combo1", FieldKind::Text);
        add("Combo2", FieldKind::Text);
        add("Combo3", FieldKind::Text);
        add("DateRented", FieldKind::Date);
        add("DateToRenew", FieldKind::Date);
        add("FirstName", FieldKind::Text);
        add("LastName", FieldKind::Text);
        add("Address1", FieldKind::Text);
        add("Address2", FieldKind::Text);
        add("Address3", FieldKind::Text);
        add("City", FieldKind::Text);
        add("State", FieldKind::Text);
        add("Zip", FieldKind::Text);
        add("Phone1", FieldKind::Text);
        add("Phone2", FieldKind::Text);
        add("Fax", FieldKind::Text);
        add("EMail", FieldKind::Text);
        add("Notes", FieldKind::Memo);
        add("Birthdate", FieldKind::Text);
        add("SSNumber", FieldKind::Text);
        add("Gender", FieldKind::Text);
        add("VIBNumber", FieldKind::Long);
        add("Adult", FieldKind::YesNo);
        add("Junior", FieldKind::YesNo);
        add("Senior", FieldKind::YesNo);
        add("WorkName", FieldKind::Text);
        add("WorkAddress1", FieldKind::Text);
        add("WorkAddress2", FieldKind::Text);
        add("WorkCity", FieldKind::Text);
        add("WorkState", FieldKind::Text);
        add("WorkZip", FieldKind::Text);
        add("WorkPhone", FieldKind::Text);
        add("WorkFax", FieldKind::Text);
        add("MixedLeague", FieldKind::YesNo);
        add("WomensLeague", FieldKind::YesNo);
        add("JuniorLeague", FieldKind::YesNo);
        add("MensLeague", FieldKind::YesNo);
        add("AdultJunior", FieldKind::YesNo);
        add("SeniorLeague", FieldKind::YesNo);
        add("Tournament", FieldKind::YesNo);
        add("Winter", FieldKind::YesNo);
        add("Summer", FieldKind::YesNo);
        add("HdcpLeague", FieldKind::YesNo);
        add("ScratchLeague", FieldKind::YesNo);
        add("Age", FieldKind::Text);
        t.indexes = {{QStringLiteral("LockerNumber"), QStringLiteral("LockerNumber")},
                     {QStringLiteral("LastName"), QStringLiteral("LastName")}};
        return t;
    }();
    return def;
}

const TableDef &centerInformation()
{
    static const TableDef def = [] {
        TableDef t;
        t.name = QStringLiteral("CenterInformation");
        auto add = [&t](const char *name, int length) {
            t.fields.append({QString::fromLatin1(name), FieldKind::Text, length});
        };
        add("YearlyRate", 6);
        add("Period", 3);
        add("CenterName", 50);
        add("CenterAddress1", 50);
        add("CenterAddress2", 50);
        add("CenterAddress3", 50);
        add("CenterAddress4", 50);
        add("CenterAddress5", 50);
        add("CenterPhone", 14);
        add("CenterFax", 14);
        add("ManagerName", 50);
        return t;
    }();
    return def;
}

const TableDef *table(const QString &name)
{
    if (name.compare(information().name, Qt::CaseInsensitive) == 0)
        return &information();
    if (name.compare(centerInformation().name, Qt::CaseInsensitive) == 0)
        return &centerInformation();
    return nullptr;
}

static QString createTable(const TableDef &t)
{
    QStringList columns;
    for (const FieldDef &f : t.fields) {
        // A yes/no field is never null: a row added without touching a check box reads No.
        const QString constraint = f.kind == FieldKind::YesNo ? QStringLiteral(" NOT NULL DEFAULT 0") : QString();
        columns << QStringLiteral("%1 %2%3").arg(quoteIdentifier(f.name), declaredType(f.kind, f.maxLength),
                                                 constraint);
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdentifier(t.name), columns.join(QStringLiteral(", ")));
}

QStringList createStatements()
{
    QStringList statements;
    for (const TableDef *t : {&information(), &centerInformation()}) {
        statements << createTable(*t);
        for (const IndexDef &ix : t->indexes) {
            // NOCASE keeps the file readable by the stock sqlite3 shell while
            // ordering names the way the operator reads them.
            const FieldDef *f = t->field(ix.field);
            const bool text = f && (f->kind == FieldKind::Text || f->kind == FieldKind::Memo);
            statements << QStringLiteral("CREATE INDEX %1 ON %2 (%3%4)")
                              .arg(quoteIdentifier(ix.name), quoteIdentifier(t->name), quoteIdentifier(ix.field),
                                   text ? QStringLiteral(" COLLATE NOCASE") : QString());
            if (text)
                statements << QStringLiteral("CREATE INDEX %1 ON %2 (%3) WHERE %4")
                                  .arg(quoteIdentifier(orderExceptionsIndex(ix.field)), quoteIdentifier(t->name),
                                       quoteIdentifier(ix.field), orderExceptionsCondition(ix.field));
        }
    }
    statements << QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(centerInformation().name));
    return statements;
}

QString notOurDatabaseText(const QString &path, const QString &missingTable)
{
    return QStringLiteral("The file '%1' is not a Vantrel database: it has no table '%2'.")
        .arg(QDir::toNativeSeparators(path), missingTable);
}

QString orderExceptionsIndex(const QString &field)
{
    return field + QStringLiteral("OrderExceptions");
}

QString orderExceptionsCondition(const QString &field)
{
    // Built-in functions only, so that every program that writes the file
    // (the stock sqlite3 shell included) keeps the index. length() counts
    // characters up to a NUL, the cast every byte: they differ for every
    // character beyond ASCII and for a NUL. The first pattern catches what
    // is left outside printable ASCII (bytes that are no UTF-8), the second
    // a trailing blank.
    const QString c = quoteIdentifier(field);
    return QStringLiteral("length(%1) <> length(CAST(%1 AS BLOB)) OR %1 GLOB '*[^ -~]*' OR %1 GLOB '* '").arg(c);
}

bool createDeliveredDatabase(const QString &path, EngineError *error)
{
    if (QFileInfo::exists(path))
        return fail(error, Err::FileExists, QStringLiteral("Database already exists: '%1'.").arg(path));

    // Create the empty file first so that its permissions are the owner's only
    // before any data reaches it.
    {
        QFile file(path);
        if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly))
            return fail(error, Err::CannotOpen,
                        QStringLiteral("Could not create '%1': %2").arg(path, file.errorString()));
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    sqlite3 *db = nullptr;
    const QByteArray name = path.toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QString failure;
    if (rc == SQLITE_OK) {
        QStringList statements = createStatements();
        statements.prepend(QStringLiteral("BEGIN"));
        statements << QStringLiteral("COMMIT");
        for (const QString &sql : statements) {
            char *message = nullptr;
            rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
            if (rc != SQLITE_OK) {
                failure = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
                sqlite3_free(message);
                break;
            }
        }
    } else {
        failure = QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_close(db);
    if (!failure.isEmpty()) {
        QFile::remove(path);
        return fail(error, Err::CannotOpen, QStringLiteral("Could not create '%1': %2").arg(path, failure));
    }
    return true;
}

} // namespace Schema

QString quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString quotedColumns(const TableDef &table)
{
    QStringList columns;
    for (const FieldDef &f : table.fields)
        columns << quoteIdentifier(f.name);
    return columns.join(QStringLiteral(", "));
}

} // namespace store
