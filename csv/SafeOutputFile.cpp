#include "csv/SafeOutputFile.h"

#include "store/SafeFiles.h"

namespace csv {

SafeOutputFile::SafeOutputFile(const QString &destination) : m_output(destination)
{
}

SafeOutputFile::~SafeOutputFile()
{
    discard();
}

bool SafeOutputFile::open(QString *error)
{
    if (!m_output.prepare(error))
        return false;
    store::EngineError e;
    if (!store::createOwnerOnlyFile(m_output.partialPath(), &e)) {
        *error = e.text;
        return false;
    }
    m_file.setFileName(m_output.partialPath());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_output.partialPath(), m_file.errorString());
        m_output.discard();
        return false;
    }
    m_open = true;
    return true;
}

bool SafeOutputFile::write(const QByteArray &bytes, QString *error)
{
    if (m_file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_output.destination(), m_file.errorString());
        return false;
    }
    return true;
}

bool SafeOutputFile::commit(QString *error)
{
    if (!m_file.flush()) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_output.destination(), m_file.errorString());
        return false;
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Could not write '%1': %2").arg(m_output.destination(), m_file.errorString());
        return false;
    }
    if (!m_output.commit(error))
        return false;
    m_open = false;
    return true;
}

void SafeOutputFile::discard()
{
    if (!m_open)
        return;
    m_file.close();
    m_output.discard();
    m_open = false;
}

} // namespace csv
