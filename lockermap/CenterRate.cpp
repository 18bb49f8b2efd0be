#include "lockermap/CenterRate.h"

#include "store/Database.h"
#include "store/RawDatabase.h"
#include "store/ServerDatabase.h"
#include "store/Statement.h"

#include <cmath>

namespace lockermap {

std::optional<double> CenterRate::yearlyIncome(qint64 lockers) const
{
    if (!isSet())
        return std::nullopt;
    return double(lockers) * *rate * 365.0 / double(*period);
}

CenterRate CenterRate::fromTexts(const QString &rateText, const QString &periodText)
{
    CenterRate result;
    QString amount = rateText.trimmed();
    if (amount.startsWith(QLatin1Char('$')))
        amount = amount.mid(1).trimmed();
    bool ok = false;
    const double rate = amount.toDouble(&ok);
    if (ok && std::isfinite(rate) && rate >= 0)
        result.rate = rate;
    const int period = periodText.trimmed().toInt(&ok);
    if (ok && period > 0)
        result.period = period;
    return result;
}

bool CenterRate::readFrom(store::Database &db, CenterRate *out, store::EngineError *error)
{
    auto center = db.OpenRecordset(store::Schema::centerInformation().name, store::Recordset::Snapshot, error);
    if (!center)
        return false;
    *out = center->hasCurrent() ? fromTexts(center->value(QStringLiteral("YearlyRate")).toString(),
                                            center->value(QStringLiteral("Period")).toString())
                                : CenterRate();
    return true;
}

bool CenterRate::read(const QString &databasePath, CenterRate *out, store::EngineError *error)
{
    if (store::ServerDatabase::isServerUrl(databasePath)) {
        auto db = store::Database::open(databasePath, error);
        return db && readFrom(*db, out, error);
    }
    store::RawDatabase db;
    if (!db.open(databasePath, store::RawDatabase::ReadOnly, error))
        return false;
    store::Statement row(db.handle(), QStringLiteral("SELECT YearlyRate, Period FROM CenterInformation LIMIT 1"));
    if (!row.isValid()) {
        if (error)
            *error = row.error();
        return false;
    }
    *out = CenterRate();
    if (row.step())
        *out = fromTexts(row.value(0).toString(), row.value(1).toString());
    else if (row.error().isError()) {
        if (error)
            *error = row.error();
        return false;
    }
    return true;
}

} // namespace lockermap
