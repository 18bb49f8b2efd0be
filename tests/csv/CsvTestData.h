#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>
#include <random>

namespace csv_testing {

// Customers as the windows would have stored them, with every kind of
// awkward text: apostrophes, quotes, commas, line breaks in notes, letters
// beyond Latin, blanks at either end, and nulls. Written straight into the
// file in one transaction.
void insertRandomCustomers(const QString &databasePath, int count, std::mt19937 &random);

// Every row of a table as the file holds it, in table order, column by column.
QList<QVariantList> storedRows(const QString &databasePath, const QString &table = QStringLiteral("Information"));

QByteArray fileBytes(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);

} // namespace csv_testing
