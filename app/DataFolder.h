#pragma once

#include <QString>

namespace app {

// What decides where the program folder is.
struct FolderLayout {
    QString executableFolder;
    // The build's program folder, compiled in: run from there, nothing moves.
    QString buildFolder;
    // The delivered database and report files of an installed program
    // (share/vantrel beside bin/).
    QString deliveredFolder;
    // The site's settings for all users; its DataFolder names the data
    // folder instead of the operator's own.
    QString siteSettingsFile;
    // The operator's own data folder (QStandardPaths::AppDataLocation).
    QString userDataFolder;
};

struct ProgramFolderChoice {
    QString folder;
    bool installed = false; // the folder must be filled from deliveredFolder
    QString error;          // a site setting that cannot be used
};

// The executable's folder when it is the build's folder or holds a database
// (any case of "Vantrel.mdb"), or when nothing is delivered beside it;
// otherwise the data folder: the site's when set, else the operator's.
ProgramFolderChoice chooseProgramFolder(const FolderLayout &layout);

// Creates the data folder (owner only) when missing and copies into it each
// delivered file that has no file of the same name (in any case) there: an
// operator's database or a center's edited report is never replaced. The
// database copy is readable by its owner only. False with the reason in
// *error when the folder cannot be made or a file cannot be copied.
bool fillDataFolder(const QString &folder, const QString &deliveredFolder, QString *error);

// The layout of the running program. Needs the application's name set, not
// an application object.
FolderLayout runningLayout();

// Chooses the program folder of the running program, fills it when
// installed and makes it the program folder. False with the reason in
// *error when the data folder cannot be used.
bool setUpProgramFolder(QString *error);

} // namespace app
