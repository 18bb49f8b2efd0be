#pragma once

#include <QString>

namespace backup {

// Where the files of an archive may be restored. Never onto one of the
// program's own files (a report file may be replaced: a backup may hold the
// center's own reports). When the restore fills the program folder without
// the operator choosing a folder (the automatic restore), only into that
// folder: nothing with a hidden name (a dot first, in the file's name or a
// folder's) and nothing a link leads out of it.
class RestoreTarget
{
public:
    RestoreTarget(const QString &folder, bool programFolderOnly);

    // Why nothing may be written at `destination`, a path below the folder,
    // in words that follow the entry's name; empty when it may.
    QString refusal(const QString &destination) const;

private:
    QString m_folder;
    QString m_canonicalFolder;
    bool m_programFolderOnly;
};

} // namespace backup
