#pragma once

#include "store/OutputPaths.h"

#include <QFile>
#include <QString>

namespace csv {

// A CSV file written beside its destination and given the destination's
// name only when it is complete (store::OutputFile): a cancelled or failed
// export leaves no half file under the chosen name, and none of the
// program's own files is ever the destination. Readable by its owner only,
// because customer files hold social security numbers.
class SafeOutputFile
{
public:
    explicit SafeOutputFile(const QString &destination);
    ~SafeOutputFile(); // an uncommitted file goes

    bool open(QString *error);
    bool write(const QByteArray &bytes, QString *error);
    // Closes, flushes to the disk and renames over the destination.
    bool commit(QString *error);
    void discard();

private:
    store::OutputFile m_output;
    QFile m_file;
    bool m_open = false;
};

} // namespace csv
