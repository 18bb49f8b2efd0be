#pragma once

#include "reports/TextTemplate.h"

#include <QColor>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <vector>

namespace reports {

// Lengths are in inches throughout; font sizes in points.
struct FontSpec {
    QString family = QStringLiteral("DejaVu Sans");
    double size = 10;
    bool bold = false;
    bool italic = false;
};

// A text, or a ruled line, placed in an area of the page (a band, a label
// or the page inside its margins), measured from the area's top-left.
struct ReportItem {
    enum class Kind { Text, Line };
    Kind kind = Kind::Text;
    std::vector<TextTemplate> lines;
    double x = 0;
    double y = 0;
    double width = 0;  // 0: to the right edge of the area
    double height = 0; // 0: to the bottom edge of the area
    FontSpec font;
    Qt::Alignment align = Qt::AlignLeft;
    bool wrap = true;
    bool skipEmptyLines = true; // a line whose fields are all empty is left out
    double thickness = 0.75;    // Line: points
};

struct Band {
    double height = 0;
    std::vector<ReportItem> items;
};

struct Column {
    QString title;
    TextTemplate text;
    double width = 1;
    Qt::Alignment align = Qt::AlignLeft;
};

struct LabelSheet {
    double width = 2.625;
    double height = 1;
    int columns = 3;
    int rows = 10;
    double columnGap = 0.125;
    double rowGap = 0;
    double padding = 0.1;
};

// A report file as read: how its pages look and which rows it prints.
struct ReportDefinition {
    enum class Kind { Listing, Labels, Letter };

    QString fileName;
    QString title;
    Kind kind = Kind::Listing;
    QPageSize pageSize = QPageSize(QPageSize::Letter);
    bool paperFixed = false; // the file names its page size; otherwise the printer's paper
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins = QMarginsF(0.5, 0.5, 0.5, 0.5);
    FontSpec font;
    QString selection;
    QStringList sort;

    // Listing
    Band pageHeader;
    Band pageFooter;
    std::vector<Column> columns;
    FontSpec columnTitleFont;
    double rowHeight = 0.2;
    QColor stripe; // every other row's background; invalid for none

    // Labels
    LabelSheet sheet;
    std::vector<ReportItem> labelItems;

    // Letter: one page per row
    std::vector<ReportItem> pageItems;

    // The sheet in inches, orientation applied.
    QSizeF pageInches() const;
};

} // namespace reports
