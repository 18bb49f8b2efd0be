#include "reports/ReportFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

namespace reports {

namespace {

// The smallest lengths that still print something, in inches: a row must
// hold a line of the smallest font (4 pt), and a page, a label or a column
// must hold a character. Smaller ones would fill thousands of pages.
constexpr double kThinnestRow = 0.05;
constexpr double kTallestRow = 10;
constexpr double kNarrowestColumn = 0.05;
constexpr double kSmallestLabel = 0.1;
constexpr double kSmallestPage = 1;

// Walks the JSON tree, keeping the path of the setting being read so that
// every refusal says where it is.
class Reader
{
public:
    Reader(const QString &fileName, const QPageSize &paper, QString *error)
        : m_fileName(fileName), m_paper(paper), m_error(error)
    {
    }

    bool readReport(const QJsonObject &root, ReportDefinition *def);

private:
    bool fail(const QString &place, const QString &why)
    {
        if (m_error)
            *m_error = QStringLiteral("The report file %1, at %2: %3").arg(m_fileName, place, why);
        return false;
    }
    static QString at(const QString &place, const QString &key)
    {
        return place.isEmpty() ? key : place + QLatin1Char('.') + key;
    }

    bool onlyKeys(const QJsonObject &object, const QString &place, const QStringList &known);
    bool object(const QJsonValue &value, const QString &place, QJsonObject *out);
    bool string(const QJsonValue &value, const QString &place, QString *out);
    bool boolean(const QJsonValue &value, const QString &place, bool *out);
    // A length from `smallest` (0: zero is allowed) to `largest` inches.
    bool length(const QJsonValue &value, const QString &place, double *out, double smallest = 0, double largest = 100);
    bool count(const QJsonValue &value, const QString &place, int *out);
    bool font(const QJsonValue &value, const QString &place, const FontSpec &base, FontSpec *out);
    bool align(const QJsonValue &value, const QString &place, Qt::Alignment *out);
    bool text(const QJsonValue &value, const QString &place, std::vector<TextTemplate> *out);
    bool item(const QJsonValue &value, const QString &place, const FontSpec &base, ReportItem *out);
    bool items(const QJsonValue &value, const QString &place, const FontSpec &base, std::vector<ReportItem> *out);
    bool band(const QJsonValue &value, const QString &place, const FontSpec &base, Band *out);
    bool page(const QJsonValue &value, const QString &place, ReportDefinition *def);
    bool listing(const QJsonValue &value, const QString &place, ReportDefinition *def);
    bool labels(const QJsonValue &value, const QString &place, ReportDefinition *def);
    // One label sheet; `ofPaper` for an entry of "sheets", which may hold
    // margins of its own.
    bool sheet(const QJsonObject &o, const QString &place, bool ofPaper, ReportDefinition *def);
    bool margins(const QJsonValue &value, const QString &place, QMarginsF *out);
    bool namedSize(const QJsonValue &value, const QString &place, QPageSize *out);
    bool letter(const QJsonValue &value, const QString &place, ReportDefinition *def);
    bool itemsFit(const std::vector<ReportItem> &items, const QString &place, QSizeF area);

    QString m_fileName;
    QPageSize m_paper;
    QString *m_error;
};

// The page sizes a file may name.
const QList<std::pair<QString, QPageSize::PageSizeId>> &namedSizes()
{
    static const QList<std::pair<QString, QPageSize::PageSizeId>> named = {
        {QStringLiteral("Letter"), QPageSize::Letter},
        {QStringLiteral("Legal"), QPageSize::Legal},
        {QStringLiteral("Executive"), QPageSize::Executive},
        {QStringLiteral("A4"), QPageSize::A4},
        {QStringLiteral("A5"), QPageSize::A5}};
    return named;
}

QString inches(double value)
{
    return QString::number(value, 'g', 4) + QStringLiteral(" in");
}

bool Reader::onlyKeys(const QJsonObject &object, const QString &place, const QStringList &known)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == QLatin1String("comment"))
            continue;
        if (!known.contains(it.key()))
            return fail(at(place, it.key()),
                        QStringLiteral("this setting is not known here; the settings are %1.")
                            .arg(known.join(QStringLiteral(", "))));
    }
    return true;
}

bool Reader::object(const QJsonValue &value, const QString &place, QJsonObject *out)
{
    if (!value.isObject())
        return fail(place, QStringLiteral("an object { ... } is expected here."));
    *out = value.toObject();
    return true;
}

bool Reader::string(const QJsonValue &value, const QString &place, QString *out)
{
    if (!value.isString())
        return fail(place, QStringLiteral("a text in double quotes is expected here."));
    *out = value.toString();
    return true;
}

bool Reader::boolean(const QJsonValue &value, const QString &place, bool *out)
{
    if (!value.isBool())
        return fail(place, QStringLiteral("true or false is expected here."));
    *out = value.toBool();
    return true;
}

bool Reader::length(const QJsonValue &value, const QString &place, double *out, double smallest, double largest)
{
    double inchesValue = 0;
    if (value.isDouble()) {
        inchesValue = value.toDouble();
    } else if (value.isString()) {
        static const QRegularExpression form(QStringLiteral("^\\s*([0-9]*\\.?[0-9]+)\\s*(in|mm|cm|pt)\\s*$"));
        const QRegularExpressionMatch m = form.match(value.toString());
        if (!m.hasMatch())
            return fail(place,
                        QStringLiteral("\"%1\" is not a length; write inches as a number (0.5) or a number "
                                       "with in, mm, cm or pt (\"12.7mm\").")
                            .arg(value.toString()));
        const double n = m.captured(1).toDouble();
        const QString unit = m.captured(2);
        inchesValue = unit == QLatin1String("in") ? n
            : unit == QLatin1String("mm")         ? n / 25.4
            : unit == QLatin1String("cm")         ? n / 2.54
                                                  : n / 72.0;
    } else {
        return fail(place, QStringLiteral("a length is expected here (inches as a number, or \"12.7mm\")."));
    }
    if (!std::isfinite(inchesValue) || inchesValue < smallest || inchesValue > largest || inchesValue < 0)
        return fail(place,
                    smallest == 0 ? QStringLiteral("the length must be 0 or more and at most %1 inches.").arg(largest)
                                  : QStringLiteral("the length must be at least %1 in (%2mm) and at most %3 "
                                                   "inches.")
                                        .arg(smallest)
                                        .arg(smallest * 25.4)
                                        .arg(largest));
    *out = inchesValue;
    return true;
}

bool Reader::count(const QJsonValue &value, const QString &place, int *out)
{
    const double n = value.toDouble(-1);
    if (!value.isDouble() || n != std::floor(n) || n < 1 || n > 100)
        return fail(place, QStringLiteral("a whole number from 1 to 100 is expected here."));
    *out = int(n);
    return true;
}

bool Reader::font(const QJsonValue &value, const QString &place, const FontSpec &base, FontSpec *out)
{
    *out = base;
    if (value.isUndefined())
        return true;
    QJsonObject o;
    if (!object(value, place, &o) || !onlyKeys(o, place, {"family", "size", "bold", "italic"}))
        return false;
    if (o.contains(QLatin1String("family"))
        && !string(o.value(QLatin1String("family")), at(place, "family"), &out->family))
        return false;
    if (o.contains(QLatin1String("size"))) {
        const double size = o.value(QLatin1String("size")).toDouble(-1);
        if (size < 4 || size > 400)
            return fail(at(place, "size"), QStringLiteral("a font size in points from 4 to 400 is expected here."));
        out->size = size;
    }
    if (o.contains(QLatin1String("bold")) && !boolean(o.value(QLatin1String("bold")), at(place, "bold"), &out->bold))
        return false;
    if (o.contains(QLatin1String("italic"))
        && !boolean(o.value(QLatin1String("italic")), at(place, "italic"), &out->italic))
        return false;
    return true;
}

bool Reader::align(const QJsonValue &value, const QString &place, Qt::Alignment *out)
{
    QString a;
    if (!string(value, place, &a))
        return false;
    if (a == QLatin1String("left"))
        *out = Qt::AlignLeft;
    else if (a == QLatin1String("center"))
        *out = Qt::AlignHCenter;
    else if (a == QLatin1String("right"))
        *out = Qt::AlignRight;
    else
        return fail(place, QStringLiteral("\"%1\" is not an alignment: left, center or right.").arg(a));
    return true;
}

bool Reader::text(const QJsonValue &value, const QString &place, std::vector<TextTemplate> *out)
{
    QStringList lines;
    if (value.isString()) {
        lines = value.toString().split(QLatin1Char('\n'));
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            QString line;
            if (!string(array.at(i), QStringLiteral("%1[%2]").arg(place).arg(i), &line))
                return false;
            lines << line;
        }
    } else {
        return fail(place, QStringLiteral("a text, or a list of texts (one per line), is expected here."));
    }
    out->clear();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        TextTemplate t;
        QString why;
        if (!TextTemplate::parse(lines.at(i), &t, &why))
            return fail(value.isArray() ? QStringLiteral("%1[%2]").arg(place).arg(i) : place, why);
        out->push_back(std::move(t));
    }
    return true;
}

bool Reader::item(const QJsonValue &value, const QString &place, const FontSpec &base, ReportItem *out)
{
    QJsonObject o;
    if (!object(value, place, &o))
        return false;
    ReportItem item;
    QString type = QStringLiteral("text");
    if (o.contains(QLatin1String("type")) && !string(o.value(QLatin1String("type")), at(place, "type"), &type))
        return false;
    if (type == QLatin1String("line")) {
        item.kind = ReportItem::Kind::Line;
        if (!onlyKeys(o, place, {"type", "x", "y", "width", "thickness"}))
            return false;
    } else if (type == QLatin1String("text")) {
        if (!onlyKeys(o, place,
                      {"type", "text", "x", "y", "width", "height", "font", "align", "wrap", "skipEmptyLines"}))
            return false;
        if (!o.contains(QLatin1String("text")))
            return fail(place, QStringLiteral("a text item needs its \"text\"."));
        if (!text(o.value(QLatin1String("text")), at(place, "text"), &item.lines))
            return false;
    } else {
        return fail(at(place, "type"), QStringLiteral("\"%1\" is not an item type: text or line.").arg(type));
    }
    auto optionalLength = [&](const char *key, double *target) {
        return !o.contains(QLatin1String(key)) || length(o.value(QLatin1String(key)), at(place, key), target);
    };
    if (!optionalLength("x", &item.x) || !optionalLength("y", &item.y) || !optionalLength("width", &item.width)
        || !optionalLength("height", &item.height))
        return false;
    if (!font(o.value(QLatin1String("font")), at(place, "font"), base, &item.font))
        return false;
    if (o.contains(QLatin1String("align")) && !align(o.value(QLatin1String("align")), at(place, "align"), &item.align))
        return false;
    if (o.contains(QLatin1String("wrap")) && !boolean(o.value(QLatin1String("wrap")), at(place, "wrap"), &item.wrap))
        return false;
    if (o.contains(QLatin1String("skipEmptyLines"))
        && !boolean(o.value(QLatin1String("skipEmptyLines")), at(place, "skipEmptyLines"), &item.skipEmptyLines))
        return false;
    if (o.contains(QLatin1String("thickness"))) {
        const double t = o.value(QLatin1String("thickness")).toDouble(-1);
        if (t <= 0 || t > 72)
            return fail(at(place, "thickness"), QStringLiteral("a thickness in points from 0 to 72 is expected here."));
        item.thickness = t;
    }
    *out = std::move(item);
    return true;
}

bool Reader::items(const QJsonValue &value, const QString &place, const FontSpec &base, std::vector<ReportItem> *out)
{
    if (!value.isArray())
        return fail(place, QStringLiteral("a list [ ... ] of items is expected here."));
    const QJsonArray array = value.toArray();
    out->clear();
    for (qsizetype i = 0; i < array.size(); ++i) {
        ReportItem it;
        if (!item(array.at(i), QStringLiteral("%1[%2]").arg(place).arg(i), base, &it))
            return false;
        out->push_back(std::move(it));
    }
    return true;
}

bool Reader::band(const QJsonValue &value, const QString &place, const FontSpec &base, Band *out)
{
    if (value.isUndefined())
        return true;
    QJsonObject o;
    if (!object(value, place, &o) || !onlyKeys(o, place, {"height", "items"}))
        return false;
    if (!o.contains(QLatin1String("height")))
        return fail(place, QStringLiteral("a band needs its \"height\"."));
    if (!length(o.value(QLatin1String("height")), at(place, "height"), &out->height))
        return false;
    return !o.contains(QLatin1String("items"))
        || items(o.value(QLatin1String("items")), at(place, "items"), base, &out->items);
}

bool Reader::namedSize(const QJsonValue &value, const QString &place, QPageSize *out)
{
    for (const auto &[name, id] : namedSizes()) {
        if (name.compare(value.toString(), Qt::CaseInsensitive) == 0) {
            *out = QPageSize(id);
            return true;
        }
    }
    return fail(place,
                QStringLiteral("\"%1\" is not a page size: Letter, Legal, Executive, A4, A5, "
                               "or { \"width\": ..., \"height\": ... }.")
                    .arg(value.toString()));
}

bool Reader::margins(const QJsonValue &margins, const QString &place, QMarginsF *out)
{
    if (margins.isDouble() || margins.isString()) {
        double m = 0;
        if (!length(margins, place, &m))
            return false;
        *out = QMarginsF(m, m, m, m);
    } else if (margins.isObject()) {
        const QJsonObject mo = margins.toObject();
        if (!onlyKeys(mo, place, {"top", "bottom", "left", "right"}))
            return false;
        double top = out->top(), bottom = out->bottom(), left = out->left(), right = out->right();
        for (auto [key, target] : {std::pair{"top", &top}, {"bottom", &bottom}, {"left", &left}, {"right", &right}}) {
            if (mo.contains(QLatin1String(key)) && !length(mo.value(QLatin1String(key)), at(place, key), target))
                return false;
        }
        *out = QMarginsF(left, top, right, bottom);
    } else if (!margins.isUndefined()) {
        return fail(place,
                    QStringLiteral("a length or { \"top\", \"bottom\", \"left\", \"right\" } is expected here."));
    }
    return true;
}

bool Reader::page(const QJsonValue &value, const QString &place, ReportDefinition *def)
{
    // A file that names no size prints on the paper of the printer.
    def->pageSize = m_paper;
    def->paperFixed = false;
    if (value.isUndefined())
        return true;
    QJsonObject o;
    if (!object(value, place, &o) || !onlyKeys(o, place, {"size", "orientation", "margins"}))
        return false;
    const QJsonValue size = o.value(QLatin1String("size"));
    if (size.isString()) {
        if (!namedSize(size, at(place, "size"), &def->pageSize))
            return false;
        def->paperFixed = true;
    } else if (size.isObject()) {
        const QJsonObject s = size.toObject();
        double w = 0;
        double h = 0;
        if (!onlyKeys(s, at(place, "size"), {"width", "height"})
            || !length(s.value(QLatin1String("width")), at(place, "size.width"), &w, kSmallestPage)
            || !length(s.value(QLatin1String("height")), at(place, "size.height"), &h, kSmallestPage))
            return false;
        def->pageSize = QPageSize(QSizeF(w, h), QPageSize::Inch, QString(), QPageSize::ExactMatch);
        def->paperFixed = true;
    } else if (!size.isUndefined()) {
        return fail(at(place, "size"),
                    QStringLiteral("a page size (\"Letter\") or { \"width\", \"height\" } is expected here."));
    }
    if (o.contains(QLatin1String("orientation"))) {
        QString orientation;
        if (!string(o.value(QLatin1String("orientation")), at(place, "orientation"), &orientation))
            return false;
        if (orientation == QLatin1String("portrait"))
            def->orientation = QPageLayout::Portrait;
        else if (orientation == QLatin1String("landscape"))
            def->orientation = QPageLayout::Landscape;
        else
            return fail(at(place, "orientation"), QStringLiteral("portrait or landscape is expected here."));
    }
    if (!margins(o.value(QLatin1String("margins")), at(place, "margins"), &def->margins))
        return false;
    const QSizeF sheet = def->pageInches();
    if (def->margins.left() + def->margins.right() >= sheet.width()
        || def->margins.top() + def->margins.bottom() >= sheet.height())
        return fail(at(place, "margins"),
                    QStringLiteral("the margins leave no room on a %1 by %2 page.")
                        .arg(inches(sheet.width()), inches(sheet.height())));
    return true;
}

bool Reader::itemsFit(const std::vector<ReportItem> &list, const QString &place, QSizeF area)
{
    constexpr double slack = 1e-6;
    for (size_t i = 0; i < list.size(); ++i) {
        const ReportItem &it = list[i];
        const QString where = QStringLiteral("%1[%2]").arg(place).arg(i);
        if (it.x + it.width > area.width() + slack || it.x >= area.width())
            return fail(where,
                        QStringLiteral("the item reaches %1 across, but its area is %2 wide.")
                            .arg(inches(it.x + it.width), inches(area.width())));
        if (it.y + it.height > area.height() + slack || (it.kind == ReportItem::Kind::Text && it.y >= area.height()))
            return fail(where,
                        QStringLiteral("the item reaches %1 down, but its area is %2 high.")
                            .arg(inches(it.y + it.height), inches(area.height())));
    }
    return true;
}

bool Reader::listing(const QJsonValue &value, const QString &place, ReportDefinition *def)
{
    QJsonObject o;
    if (!object(value, place, &o)
        || !onlyKeys(o, place, {"pageHeader", "pageFooter", "columns", "columnTitleFont", "rowHeight", "stripe"}))
        return false;
    if (!band(o.value(QLatin1String("pageHeader")), at(place, "pageHeader"), def->font, &def->pageHeader)
        || !band(o.value(QLatin1String("pageFooter")), at(place, "pageFooter"), def->font, &def->pageFooter))
        return false;
    FontSpec titleBase = def->font;
    titleBase.bold = true;
    if (!font(o.value(QLatin1String("columnTitleFont")), at(place, "columnTitleFont"), titleBase,
              &def->columnTitleFont))
        return false;
    if (o.contains(QLatin1String("rowHeight"))
        && !length(o.value(QLatin1String("rowHeight")), at(place, "rowHeight"), &def->rowHeight, kThinnestRow,
                   kTallestRow))
        return false;
    if (o.contains(QLatin1String("stripe"))) {
        QString colour;
        if (!string(o.value(QLatin1String("stripe")), at(place, "stripe"), &colour))
            return false;
        def->stripe = QColor::fromString(colour);
        if (!def->stripe.isValid())
            return fail(at(place, "stripe"),
                        QStringLiteral("\"%1\" is not a colour (write it as #eeeeee).").arg(colour));
    }
    const QJsonValue columns = o.value(QLatin1String("columns"));
    if (!columns.isArray() || columns.toArray().isEmpty())
        return fail(at(place, "columns"), QStringLiteral("a listing needs a list of one or more columns."));
    const QJsonArray array = columns.toArray();
    double total = 0;
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString cp = QStringLiteral("%1[%2]").arg(at(place, "columns")).arg(i);
        QJsonObject c;
        if (!object(array.at(i), cp, &c) || !onlyKeys(c, cp, {"title", "text", "width", "align"}))
            return false;
        Column column;
        if (c.contains(QLatin1String("title"))
            && !string(c.value(QLatin1String("title")), at(cp, "title"), &column.title))
            return false;
        QString source;
        if (!string(c.value(QLatin1String("text")), at(cp, "text"), &source))
            return false;
        QString why;
        if (!TextTemplate::parse(source, &column.text, &why))
            return fail(at(cp, "text"), why);
        if (!length(c.value(QLatin1String("width")), at(cp, "width"), &column.width, kNarrowestColumn))
            return false;
        if (c.contains(QLatin1String("align"))
            && !align(c.value(QLatin1String("align")), at(cp, "align"), &column.align))
            return false;
        total += column.width;
        def->columns.push_back(std::move(column));
    }
    const QSizeF sheet = def->pageInches();
    const double inside = sheet.width() - def->margins.left() - def->margins.right();
    if (total > inside + 1e-6)
        return fail(at(place, "columns"),
                    QStringLiteral("the columns are %1 wide together, but the page has %2 "
                                   "between its margins.")
                        .arg(inches(total), inches(inside)));
    const double height = sheet.height() - def->margins.top() - def->margins.bottom();
    const double body = height - def->pageHeader.height - def->pageFooter.height - def->rowHeight * 1.5;
    if (body < def->rowHeight)
        return fail(place,
                    QStringLiteral("the page header, the column titles and the page footer leave no room "
                                   "for a row."));
    return itemsFit(def->pageHeader.items, at(place, "pageHeader.items"), QSizeF(inside, def->pageHeader.height))
        && itemsFit(def->pageFooter.items, at(place, "pageFooter.items"), QSizeF(inside, def->pageFooter.height));
}

bool Reader::labels(const QJsonValue &value, const QString &place, ReportDefinition *def)
{
    QJsonObject o;
    if (!object(value, place, &o)
        || !onlyKeys(o, place,
                     {"width", "height", "columns", "rows", "columnGap", "rowGap", "padding", "items", "sheets"}))
        return false;
    LabelSheet &s = def->sheet;
    if (o.contains(QLatin1String("padding"))
        && !length(o.value(QLatin1String("padding")), at(place, "padding"), &s.padding))
        return false;
    if (o.contains(QLatin1String("sheets"))) {
        // One sheet for each paper: the one for the paper printed on is used.
        for (const char *key : {"width", "height", "columns", "rows", "columnGap", "rowGap"}) {
            if (o.contains(QLatin1String(key)))
                return fail(at(place, key),
                            QStringLiteral("with \"sheets\" each sheet gives its own \"%1\".").arg(key));
        }
        QJsonObject sheets;
        if (!object(o.value(QLatin1String("sheets")), at(place, "sheets"), &sheets))
            return false;
        QStringList names;
        bool found = false;
        for (auto it = sheets.begin(); it != sheets.end(); ++it) {
            const QString where = at(at(place, "sheets"), it.key());
            QPageSize size;
            if (!namedSize(QJsonValue(it.key()), where, &size))
                return false;
            names << it.key();
            // Every sheet is checked, so a mistake in one for other paper is
            // found before it is needed.
            ReportDefinition trial = *def;
            trial.pageSize = size;
            QJsonObject one;
            if (!object(it.value(), where, &one) || !sheet(one, where, true, &trial))
                return false;
            if (!found && size.isEquivalentTo(def->pageSize)) {
                *def = trial;
                found = true;
            }
        }
        if (!found)
            return fail(at(place, "sheets"),
                        QStringLiteral("there is no label sheet for %1 paper; the sheets are for %2.")
                            .arg(def->pageSize.name(), names.join(QStringLiteral(", "))));
    } else if (!sheet(o, place, false, def)) {
        return false;
    }
    if (2 * s.padding >= s.width || 2 * s.padding >= s.height)
        return fail(at(place, "padding"), QStringLiteral("the padding leaves no room inside a label."));
    if (!items(o.value(QLatin1String("items")), at(place, "items"), def->font, &def->labelItems))
        return false;
    return itemsFit(def->labelItems, at(place, "items"), QSizeF(s.width - 2 * s.padding, s.height - 2 * s.padding));
}

bool Reader::sheet(const QJsonObject &o, const QString &place, bool ofPaper, ReportDefinition *def)
{
    if (ofPaper
        && (!onlyKeys(o, place, {"width", "height", "columns", "rows", "columnGap", "rowGap", "margins"})
            || !margins(o.value(QLatin1String("margins")), at(place, "margins"), &def->margins)))
        return false;
    LabelSheet &s = def->sheet;
    if (!length(o.value(QLatin1String("width")), at(place, "width"), &s.width, kSmallestLabel)
        || !length(o.value(QLatin1String("height")), at(place, "height"), &s.height, kSmallestLabel)
        || !count(o.value(QLatin1String("columns")), at(place, "columns"), &s.columns)
        || !count(o.value(QLatin1String("rows")), at(place, "rows"), &s.rows))
        return false;
    for (auto [key, target] : {std::pair{"columnGap", &s.columnGap}, {"rowGap", &s.rowGap}}) {
        if (o.contains(QLatin1String(key)) && !length(o.value(QLatin1String(key)), at(place, key), target))
            return false;
    }
    const QSizeF sheet = def->pageInches();
    const double right = def->margins.left() + s.columns * s.width + (s.columns - 1) * s.columnGap;
    const double bottom = def->margins.top() + s.rows * s.height + (s.rows - 1) * s.rowGap;
    if (right > sheet.width() + 1e-6 || bottom > sheet.height() + 1e-6)
        return fail(place,
                    QStringLiteral("%1 by %2 labels reach %3 across and %4 down, beyond the %5 by %6 sheet.")
                        .arg(s.columns)
                        .arg(s.rows)
                        .arg(inches(right), inches(bottom), inches(sheet.width()), inches(sheet.height())));
    return true;
}

bool Reader::letter(const QJsonValue &value, const QString &place, ReportDefinition *def)
{
    QJsonObject o;
    if (!object(value, place, &o) || !onlyKeys(o, place, {"items"}))
        return false;
    if (!items(o.value(QLatin1String("items")), at(place, "items"), def->font, &def->pageItems))
        return false;
    const QSizeF sheet = def->pageInches();
    return itemsFit(def->pageItems, at(place, "items"),
                    QSizeF(sheet.width() - def->margins.left() - def->margins.right(),
                           sheet.height() - def->margins.top() - def->margins.bottom()));
}

bool Reader::readReport(const QJsonObject &root, ReportDefinition *def)
{
    if (!onlyKeys(root, QStringLiteral("the top"),
                  {"title", "kind", "page", "font", "selection", "sort", "listing", "labels", "letter"}))
        return false;
    if (root.contains(QLatin1String("title"))
        && !string(root.value(QLatin1String("title")), QStringLiteral("title"), &def->title))
        return false;
    QString kind;
    if (!string(root.value(QLatin1String("kind")), QStringLiteral("kind"), &kind))
        return false;
    if (kind == QLatin1String("listing"))
        def->kind = ReportDefinition::Kind::Listing;
    else if (kind == QLatin1String("labels"))
        def->kind = ReportDefinition::Kind::Labels;
    else if (kind == QLatin1String("letter"))
        def->kind = ReportDefinition::Kind::Letter;
    else
        return fail(QStringLiteral("kind"),
                    QStringLiteral("\"%1\" is not a kind of report: listing, labels or letter.").arg(kind));
    if (!page(root.value(QLatin1String("page")), QStringLiteral("page"), def))
        return false;
    if (!font(root.value(QLatin1String("font")), QStringLiteral("font"), FontSpec(), &def->font))
        return false;
    if (root.contains(QLatin1String("selection"))
        && !string(root.value(QLatin1String("selection")), QStringLiteral("selection"), &def->selection))
        return false;
    if (root.contains(QLatin1String("sort"))) {
        const QJsonValue sort = root.value(QLatin1String("sort"));
        if (!sort.isArray() || sort.toArray().size() > 3)
            return fail(
                QStringLiteral("sort"),
                QStringLiteral("a list of up to three sort fields (\"+{Information.LastName}\") is expected here."));
        const QJsonArray array = sort.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            QString key;
            if (!string(array.at(i), QStringLiteral("sort[%1]").arg(i), &key))
                return false;
            def->sort << key;
        }
    }
    const QString section = kind;
    for (const char *other : {"listing", "labels", "letter"}) {
        if (QLatin1String(other) != section && root.contains(QLatin1String(other)))
            return fail(
                QLatin1String(other),
                QStringLiteral("a report of the kind %1 has no \"%2\" section.").arg(kind, QLatin1String(other)));
    }
    if (!root.contains(section))
        return fail(QStringLiteral("the top"),
                    QStringLiteral("a report of the kind %1 needs its \"%1\" section.").arg(kind));
    switch (def->kind) {
    case ReportDefinition::Kind::Listing: return listing(root.value(section), section, def);
    case ReportDefinition::Kind::Labels: return labels(root.value(section), section, def);
    case ReportDefinition::Kind::Letter: return letter(root.value(section), section, def);
    }
    return true;
}

} // namespace

QSizeF ReportDefinition::pageInches() const
{
    const QSizeF size = pageSize.size(QPageSize::Inch);
    return orientation == QPageLayout::Landscape ? size.transposed() : size;
}

bool ReportFile::parse(const QByteArray &json, const QString &fileName, ReportDefinition *out, QString *error,
                       const QPageSize &paper)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const QByteArray before = json.left(parseError.offset);
        const qsizetype line = before.count('\n') + 1;
        const qsizetype column = parseError.offset - (before.lastIndexOf('\n') + 1) + 1;
        if (error)
            *error = QStringLiteral("The report file %1, line %2, column %3: %4.")
                         .arg(fileName)
                         .arg(line)
                         .arg(column)
                         .arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("The report file %1 does not hold a report: it must be one JSON object { ... }.")
                         .arg(fileName);
        return false;
    }
    ReportDefinition def;
    def.fileName = fileName;
    Reader reader(fileName, paper, error);
    if (!reader.readReport(doc.object(), &def))
        return false;
    if (def.title.isEmpty())
        def.title = QFileInfo(fileName).completeBaseName();
    *out = std::move(def);
    return true;
}

bool ReportFile::read(const QString &path, ReportDefinition *out, QString *error, const QPageSize &paper,
                      QByteArray *source)
{
    QFile file(path);
    if (!file.exists()) {
        if (error)
            *error = QStringLiteral("The report file %1 does not exist.").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The report file %1 cannot be read: %2.").arg(path, file.errorString());
        return false;
    }
    // A report file is a page of text; anything far larger is not one.
    constexpr qint64 kLimit = 4 * 1024 * 1024;
    if (file.size() > kLimit) {
        if (error)
            *error = QStringLiteral("The report file %1 is %2 bytes long, too large for a report file.")
                         .arg(path)
                         .arg(file.size());
        return false;
    }
    const QByteArray json = file.readAll();
    if (source)
        *source = json;
    return parse(json, path, out, error, paper);
}

} // namespace reports
