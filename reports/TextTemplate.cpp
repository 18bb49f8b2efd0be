#include "reports/TextTemplate.h"

#include "reports/ValueFormat.h"

#include <algorithm>

namespace reports {

namespace {

struct ReportValueName {
    const char *name;
    ReportValue value;
};
constexpr ReportValueName kReportValues[] = {
    {"Page", ReportValue::Page},
    {"Pages", ReportValue::Pages},
    {"PrintDate", ReportValue::PrintDate},
    {"Title", ReportValue::Title},
    {"SelectionFormula", ReportValue::SelectionFormula},
    {"Records", ReportValue::Records},
};

QString knownReportValues()
{
    QStringList names;
    for (const ReportValueName &v : kReportValues)
        names << QStringLiteral("{Report.%1}").arg(QLatin1String(v.name));
    return names.join(QStringLiteral(", "));
}

} // namespace

bool TextTemplate::parse(const QString &text, TextTemplate *out, QString *error)
{
    TextTemplate t;
    QString literal;
    auto flushLiteral = [&] {
        if (literal.isEmpty())
            return;
        Piece p;
        p.text = literal;
        t.m_pieces.push_back(p);
        literal.clear();
    };
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('}')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('}')) {
                literal += c;
                ++i;
                continue;
            }
            return refuse(
                QStringLiteral("a \"}\" at character %1 closes no field (write }} for the brace itself).").arg(i + 1));
        }
        if (c != QLatin1Char('{')) {
            literal += c;
            continue;
        }
        if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('{')) {
            literal += c;
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
        if (close < 0)
            return refuse(QStringLiteral("the field that begins at character %1 is not closed with \"}\".").arg(i + 1));
        const QString reference = text.mid(i + 1, close - i - 1);
        const QString shown = QStringLiteral("{%1}").arg(reference);
        const qsizetype colon = reference.indexOf(QLatin1Char(':'));
        const QString name = (colon < 0 ? reference : reference.left(colon)).trimmed();
        const QString format = colon < 0 ? QString() : reference.mid(colon + 1);
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot <= 0 || dot == name.size() - 1)
            return refuse(QStringLiteral("%1 is not a field: write {Table.Field}.").arg(shown));
        const QString table = name.left(dot);
        const QString field = name.mid(dot + 1);
        Piece p;
        if (table.compare(QLatin1String("Report"), Qt::CaseInsensitive) == 0) {
            bool found = false;
            for (const ReportValueName &v : kReportValues) {
                if (field.compare(QLatin1String(v.name), Qt::CaseInsensitive) == 0) {
                    p.value = v.value;
                    found = true;
                }
            }
            if (!found)
                return refuse(
                    QStringLiteral("%1 is not a value of the report; these are: %2.").arg(shown, knownReportValues()));
            if (p.value == ReportValue::PrintDate) {
                QString why;
                if (!ValueFormat::compile(store::FieldKind::Date, format, &p.format, &why))
                    return refuse(QStringLiteral("%1: %2").arg(shown, why));
            } else if (!format.isEmpty()) {
                return refuse(QStringLiteral("%1: only {Report.PrintDate} takes a format.").arg(shown));
            }
            p.kind = Piece::Kind::Report;
        } else {
            const store::TableDef *def = store::Schema::table(table);
            if (!def)
                return refuse(QStringLiteral("%1 names the table \"%2\"; a report reads Information, "
                                             "CenterInformation and Report.")
                                  .arg(shown, table));
            p.field = def->fieldIndex(field);
            if (p.field < 0)
                return refuse(QStringLiteral("%1: the table %2 has no field \"%3\".").arg(shown, def->name, field));
            QString why;
            if (!ValueFormat::compile(def->fields.at(p.field).kind, format, &p.format, &why))
                return refuse(QStringLiteral("%1: %2").arg(shown, why));
            p.kind = def == &store::Schema::information() ? Piece::Kind::Information : Piece::Kind::Center;
        }
        flushLiteral();
        t.m_pieces.push_back(p);
        ++t.m_fields;
        i = close;
    }
    flushLiteral();
    *out = std::move(t);
    return true;
}

QList<int> TextTemplate::informationFields() const
{
    QList<int> fields;
    for (const Piece &p : m_pieces) {
        if (p.kind == Piece::Kind::Information && !fields.contains(p.field))
            fields << p.field;
    }
    return fields;
}

bool TextTemplate::showsPage() const
{
    return std::any_of(m_pieces.begin(), m_pieces.end(),
                       [](const Piece &p) { return p.kind == Piece::Kind::Report && p.value == ReportValue::Page; });
}

void TextTemplate::fillInto(QString &out, const TextContext &context, bool *allFieldsEmpty) const
{
    out.resize(0);
    bool empty = true;
    for (const Piece &p : m_pieces) {
        const qsizetype start = out.size();
        switch (p.kind) {
        case Piece::Kind::Literal: out += p.text; continue;
        case Piece::Kind::Information:
            if (context.row && p.field < qsizetype(context.row->size()))
                p.format.appendTo(out, (*context.row)[size_t(p.field)]);
            break;
        case Piece::Kind::Center:
            if (context.center)
                p.format.appendTo(out, context.center->value(p.field));
            break;
        case Piece::Kind::Report:
            switch (p.value) {
            case ReportValue::Page: out += QString::number(context.page); break;
            case ReportValue::Pages: out += QString::number(context.pages); break;
            case ReportValue::PrintDate: p.format.appendTo(out, QVariant(context.printDate)); break;
            case ReportValue::Title: out += context.title; break;
            case ReportValue::SelectionFormula: out += context.selectionFormula; break;
            case ReportValue::Records: out += QString::number(context.records); break;
            }
            break;
        }
        if (allFieldsEmpty && empty && !QStringView(out).mid(start).trimmed().isEmpty())
            empty = false;
    }
    if (allFieldsEmpty)
        *allFieldsEmpty = m_fields > 0 && empty;
}

} // namespace reports
