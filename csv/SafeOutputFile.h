#pragma once

#include <QFile>
#include <QString>

namespace csv {

// A file written beside its destination and given the destination's name
// only when it is complete: a cancelled or failed export leaves no half
// file under the chosen name. Readable by its owner only, because customer
// files hold social security numbers.
class SafeOutputFile
{
public:
    explicit SafeOutputFile(QString destination);
    ~SafeOutputFile(); // an uncommitted file goes

    bool open(QString *error);
    bool write(const QByteArray &bytes, QString *error);
    // Closes, flushes to the disk and renames over the destination.
    bool commit(QString *error);
    void discard();

private:
    QString m_destination;
    QString m_partial;
    QFile m_file;
    bool m_open = false;
};

} // namespace csv
