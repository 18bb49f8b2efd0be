#pragma once

#include <QString>
#include <QStringList>

namespace app {

// Where the user guide's HTML is: beside the delivered files once installed
// (share/vantrel/guide), or in the build's guide/ folder when the program
// runs from its build.
class UserGuide
{
public:
    // The guide's first page, empty when neither place holds it.
    static QString indexPage();
    // The folders looked in, nearest first.
    static QStringList expectedFolders();
    // Folders to look in instead (tests); an empty list goes back to the
    // program's own.
    static void setFolders(const QStringList &folders);
};

} // namespace app
