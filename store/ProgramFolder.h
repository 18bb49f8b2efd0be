#pragma once

#include <QString>

namespace store {

// The folder that holds the program file. Tests point it at a temporary
// folder; the program leaves it at the executable's folder.
QString programFolder();
void setProgramFolder(const QString &folder);

// Joins a folder with a literal that begins with a backslash ("\Vantrel.mdb").
// The file system here is case-sensitive, so an existing file whose name
// matches without regard to case is the file meant; with none, the name is
// used as written.
QString resolveInFolder(const QString &folder, const QString &backslashLiteral);

// resolveInFolder(programFolder(), literal): the one way to build a path
// to a file of the program folder.
QString programPath(const QString &backslashLiteral);

// The program folder joined with the literal, the name exactly as written
// even when a file of the same name in another case exists: the name to
// give a file.
QString programPathAsWritten(const QString &backslashLiteral);

} // namespace store
