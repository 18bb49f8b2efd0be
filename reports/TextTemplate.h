#pragma once

#include "reports/ValueFormat.h"
#include "store/Schema.h"

#include <QDate>
#include <QString>
#include <QVariantList>
#include <vector>

namespace reports {

// Values of the report itself that a text may show: {Report.Page} and the
// others listed in docs/report-files.md.
enum class ReportValue { Page, Pages, PrintDate, Title, SelectionFormula, Records };

// What a text is filled from: the customer row, the center's row and the
// report's own values.
struct TextContext {
    const PrintedRow *row = nullptr;      // Information, in table order
    const QVariantList *center = nullptr; // CenterInformation, in table order
    int page = 1;
    int pages = 1;
    QDate printDate;
    QString title;
    QString selectionFormula;
    qint64 records = 0;
};

// One line of a report's text with its {Table.Field} and {Table.Field:format}
// references resolved to columns when the file is read, so that filling it
// per row only looks values up. "{{" and "}}" stand for the braces themselves.
class TextTemplate
{
public:
    // Reads a text; an unknown table or field, an open brace or a format
    // that does not suit the field is an error naming the piece.
    static bool parse(const QString &text, TextTemplate *out, QString *error);

    QString fill(const TextContext &context, bool *allFieldsEmpty = nullptr) const
    {
        QString out;
        fillInto(out, context, allFieldsEmpty);
        return out;
    }
    // The same into `out`, whose room is kept: a page fills one string per
    // column over and over.
    void fillInto(QString &out, const TextContext &context, bool *allFieldsEmpty = nullptr) const;
    // The customer fields it shows, by their place in the table.
    QList<int> informationFields() const;
    // Whether it shows {Report.Page}, the one value of the report that
    // differs from page to page.
    bool showsPage() const;

private:
    struct Piece {
        enum class Kind { Literal, Information, Center, Report };
        Kind kind = Kind::Literal;
        QString text; // Literal: the text
        int field = -1;
        ValueFormat format;
        ReportValue value = ReportValue::Page;
    };
    std::vector<Piece> m_pieces;
    int m_fields = 0;
};

} // namespace reports
