#include "csv/SafeOutputFile.h"

#include "store/SafeFiles.h"

#include <QFileInfo>

namespace csv {

SafeOutputFile::SafeOutputFile(QString destination)
    : m_destination(std::move(destination)), m_partial(store::partialNameFor(m_destination))
{
}

SafeOutputFile::~SafeOutputFile()
{
    discard();
}

bool SafeOutputFile::open(QString *error)
{
    // A partial file is never a finished one: one left by an interrupted run may go.
    QFile::remove(m_partial);
    store::EngineError e;
    if (!store::createOwnerOnlyFile(m_partial, &e)) {
        *error = e.text;
        return false;
    }
    m_file.setFileName(m_partial);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_partial, m_file.errorString());
        QFile::remove(m_partial);
        return false;
    }
    m_open = true;
    return true;
}

bool SafeOutputFile::write(const QByteArray &bytes, QString *error)
{
    if (m_file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_destination, m_file.errorString());
        return false;
    }
    return true;
}

bool SafeOutputFile::commit(QString *error)
{
    if (!m_file.flush()) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_destination, m_file.errorString());
        return false;
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_destination, m_file.errorString());
        return false;
    }
    store::EngineError e;
    if (!store::syncFile(m_partial, &e) || !store::renameReplacing(m_partial, m_destination, &e)) {
        *error = e.text;
        return false;
    }
    m_open = false;
    store::syncFolder(QFileInfo(m_destination).absolutePath(), &e);
    return true;
}

void SafeOutputFile::discard()
{
    if (!m_open)
        return;
    m_file.close();
    QFile::remove(m_partial);
    m_open = false;
}

} // namespace csv
