#pragma once

#include <QString>

namespace platform {

// What a process leaves behind when it is killed while it writes: a partial
// backup archive, a plain copy of the database on its way into an archive.
// Such a file or folder carries in its name the tag of the process that
// made it, and is noted beforehand in that process's record in the user's
// cache folder. The next start of the program removes what processes that
// have ended noted, and the next run of the same command what they left
// beside its destination; a file of a process still running is never
// touched, nor one of another account.
namespace Leftovers {

// This process, named by its id and the moment it started ("4711.2212233"):
// a later process with the same id started later, so the tag is never
// anyone else's.
QString processTag();

// Whether the process a tag names has ended. One that cannot be looked at
// counts as running.
bool hasEnded(const QString &tag);

// The tag a name made by taggedName() carries after `marker`, or empty.
QString tagAfter(const QString &fileName, const QString &marker);

// `path` + `marker` + processTag(): the name of a file this process makes
// on its way to `path` ("nightly.zip.partial-4711.2212233").
QString taggedName(const QString &path, const QString &marker);

// Notes that this process is about to make `path`, whose name carries its
// tag: should it be killed before the file is gone or renamed, the next
// start removes it, and every file beside it whose name is the same
// followed by a dot and more (the temporary files a library writes beside
// the file it is asked for).
void expect(const QString &path);

// Removes, in `folder`, what ended processes of this account made with
// names `prefix` + tag (and the files beside them as above): what an
// earlier run of the same command left beside its destination.
void removeEndedIn(const QString &folder, const QString &prefix);

// Removes what ended processes of this account noted, and their records:
// what every start of the program does first.
void sweep();

} // namespace Leftovers
} // namespace platform
