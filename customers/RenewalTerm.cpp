#include "customers/RenewalTerm.h"

namespace customers {

QDate proposedExpiry(const QDate &rentedOn)
{
    return rentedOn.isValid() ? rentedOn.addDays(kRenewalTermDays) : QDate();
}

QString renewalQuestion()
{
    return QStringLiteral("Do you want to make this a one year renewal term?");
}

} // namespace customers
