#pragma once

#include "zip/ZipResults.h"

#include <QString>

class QWidget;

namespace backup {

class ZipMain;

// Kinds of archive file dialog (SelectArchive).
namespace dialogkind {
constexpr int Open = 0;
constexpr int New = 1;
constexpr int Test = 2;
constexpr int Fix = 3;
constexpr int Delete = 4;
} // namespace dialogkind

// Shows at most one box (OK, title "Vantrel") for a result code.
void ShowResultMessage(int code, const QString &operation, bool multidisk = false);
void ShowResultMessage(int code, const QString &operation, const ZipMain &zip);

// The archive file dialog of the given kind; the chosen name (with ".zip"
// added to a name typed without an extension), or empty when cancelled.
QString SelectArchive(int kind, QWidget *parent = nullptr);

} // namespace backup
