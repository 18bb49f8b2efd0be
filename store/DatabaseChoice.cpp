#include "store/DatabaseChoice.h"

#include "store/ProgramFolder.h"

namespace store::DatabaseChoice {

namespace {
struct Choice {
    QString url;
    QString password;
};

Choice &choice()
{
    static Choice c;
    return c;
}
} // namespace

QString databaseName()
{
    return onServer() ? choice().url : programPath(QStringLiteral("\\Vantrel.mdb"));
}

bool onServer()
{
    return !choice().url.isEmpty();
}

void setServerUrl(const QString &url)
{
    choice().url = url.trimmed();
}

QString serverUrl()
{
    return choice().url;
}

void setServerPassword(const QString &password)
{
    choice().password = password;
}

QString serverPassword()
{
    return choice().password;
}

} // namespace store::DatabaseChoice
