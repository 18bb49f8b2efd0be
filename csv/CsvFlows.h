#pragma once

#include <memory>

class QWidget;

namespace store {
class Recordset;
}

namespace csv {

class CsvImport;

// "E&xport Customers...": the rows of the record set given (what the record
// window shows, a filter's rows in its order) or, without one, every
// customer, to a CSV file chosen in a save dialog, with a progress window
// that can cancel. Returns whether a file was written.
bool exportCustomers(QWidget *parent, const std::shared_ptr<store::Recordset> &rows);

// "&Import Customers...": a CSV file chosen in an open dialog, read and
// shown in the preview, from which the operator imports or cancels.
void importCustomers(QWidget *parent);

// The first steps of an import: the open dialog and the reading of the
// file. Null when the operator cancelled or the file cannot be imported
// (the operator has been told why).
std::unique_ptr<CsvImport> chooseFileToImport(QWidget *parent);

} // namespace csv
