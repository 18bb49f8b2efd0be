#pragma once

#include "reports/ReportDefinition.h"

#include <QByteArray>
#include <QString>

namespace reports {

// Reads report files (JSON, described in docs/report-files.md). Every
// refusal names the file and the place in it: the line and column of a
// syntax error, or the path of the setting ("columns[2].text").
class ReportFile
{
public:
    static bool read(const QString &path, ReportDefinition *out, QString *error);
    static bool parse(const QByteArray &json, const QString &fileName, ReportDefinition *out, QString *error);
};

} // namespace reports
