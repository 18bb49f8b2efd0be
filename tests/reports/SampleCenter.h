#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Texts in test failures read as texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace testing_support {

// Thirty customers of a small center, lockers 101-130, with full addresses,
// phones, keys and deposits; their lockers expire from 11/30/2024 to
// 03/31/2025, locker 104 exactly on 12/31/2024 and locker 105 on 01/01/2025.
// Also fills the center's own row (name, address, rate, period, manager).
void fillSampleCenter(const QString &databasePath);
constexpr int kSampleCustomers = 30;

// Copies the delivered report files into a program folder.
void installDeliveredReports(const QString &folder);

// The text of a PDF as pdftotext gives it, with its layout kept.
QString pdfText(const QString &pdfPath);
// The texts of several PDFs, read side by side.
QStringList pdfTexts(const QStringList &pdfPaths);
// Each page of a PDF as text.
QStringList pdfPages(const QString &pdfPath);

} // namespace testing_support
