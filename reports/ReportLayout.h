#pragma once

#include "reports/ReportDefinition.h"

#include <QRectF>

namespace reports {

// Where things go on a page, in inches from the sheet's top-left corner.
// Every kind prints a fixed number of rows per page, so page n shows rows
// n * rowsPerPage() onwards and the page count follows from the row count.
class ReportLayout
{
public:
    explicit ReportLayout(const ReportDefinition &def) : m_def(def) {}

    QRectF contentArea() const; // the sheet inside its margins
    int rowsPerPage() const;
    // At least one page: an empty report still prints its headings.
    int pageCount(qint64 rows) const;

    // Listing
    QRectF headerArea() const;
    QRectF footerArea() const;
    QRectF columnTitleArea() const;
    QRectF rowArea(int slot) const; // slot: 0 .. rowsPerPage()-1
    double columnLeft(int column) const;

    // Labels: the label in a slot, across then down.
    QRectF labelArea(int slot) const;
    QRectF labelInside(int slot) const; // without the padding

private:
    const ReportDefinition &m_def;
};

} // namespace reports
