#include "zip/ZipResults.h"

namespace backup {

QString resultMessageText(int code, const QString &op, bool multidisk)
{
    if (code <= 0 || code == 10 || code == 30 || code == 140)
        return QString();
    switch (code) {
    case 40: return QStringLiteral("Some files were skipped while ") + op + QStringLiteral(".");
    case 50: return QStringLiteral("The Zip file is empty.");
    case 100: return QStringLiteral("Could not find the archive file.");
    case 110:
    case 160: return QStringLiteral("The archive file is corrupted. Try using the Fix option on it.");
    case 120: return QStringLiteral("Ran out of memory while ") + op + QStringLiteral(".");
    case 130: return QStringLiteral("Invalid property settings. Check your code.");
    case 150:
        return multidisk ? QStringLiteral("A full disk was inserted instead of an empty one.")
                         : QStringLiteral("Disk full while ") + op + QStringLiteral(".");
    case 180:
        return QStringLiteral("Another application is currently performing a similar task. Wait until the "
                              "other application has completed its operation.");
    case 190: return QStringLiteral("The ") + op + QStringLiteral(" operation was aborted.");
    case 200: return QStringLiteral("Test failed - errors in the archive.");
    case 210: return QStringLiteral("No files ended up being tested in the archive.");
    case 280: return QStringLiteral("Problem with the temporary file.");
    case 290: return QStringLiteral("Problem reading from file while ") + op + QStringLiteral(".");
    case 300: return QStringLiteral("Problem writing to file while ") + op + QStringLiteral(".");
    case 310: return QStringLiteral("Problem creating file while ") + op + QStringLiteral(".");
    case 350: return QStringLiteral("Attempt to remove parent directory.");
    case 370: return QStringLiteral("Names repeated in archive after discarding pathnames.");
    case 380:
        return QStringLiteral("Could not update the Zip archive date. Archive only contains directories or is empty.");
    case 400: return QStringLiteral("Read/Write error with the Zip file or one of the files to process.");
    case 410: return QStringLiteral("Cannot work on multiple-disk archives when not in Multidisk mode.");
    case 420: return QStringLiteral("Wrong disk was inserted too many times.");
    case 430: return QStringLiteral("Operation not supported for Multidisk Zip archives.");
    case 440: return QStringLiteral("Could not open the self-extractor binary.");
    case 450: return QStringLiteral("Could not open the self-extractor configuration file");
    case 460: return QStringLiteral("Invalid command parameter passed to an Xceed Zip event.");
    case 470: return QStringLiteral("Not enough space on first disk to write self-extractor.");
    case 490: return QStringLiteral("Invalid self-extractor binary version.");
    case 510: return QStringLiteral("Problem creating destination directory while ") + op + QStringLiteral(".");
    case 520:
        return QStringLiteral("The files could not be encrypted while ") + op
            + QStringLiteral(", so nothing was written: the archive is as it was.");
    case 530:
        return QStringLiteral("There is not enough room on the disk while ") + op
            + QStringLiteral("; make room there, or use a disk with more room, and try again.");
    default: return QStringLiteral("An error occured while ") + op + QStringLiteral(" the specified files.");
    }
}

platform::Icon resultMessageIcon(int code)
{
    return code == 40 || code == 50 || code == 190 ? platform::Icon::Exclamation : platform::Icon::Critical;
}

} // namespace backup
