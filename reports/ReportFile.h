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
    // `paper` is the page size of a file that names none (the printer's
    // paper); *source receives the file's text, to be read again for other
    // paper.
    static bool read(const QString &path, ReportDefinition *out, QString *error,
                     const QPageSize &paper = QPageSize(QPageSize::Letter), QByteArray *source = nullptr);
    static bool parse(const QByteArray &json, const QString &fileName, ReportDefinition *out, QString *error,
                      const QPageSize &paper = QPageSize(QPageSize::Letter));
};

} // namespace reports
