#include "filter/CriteriaRules.h"
#include "platform/MessageBox.h"

#include <QRegularExpression>
#include <cmath>

namespace filter {

QString EscapeCriteria(const QString &text)
{
    QString s = text;
    while (!s.isEmpty() && s.back() == QLatin1Char(' '))
        s.chop(1);
    if (s != QLatin1String("''")) {
        static const QString special = QStringLiteral("#?()*:;");
        for (int i = 0; i < s.size(); ++i) {
            const QChar c = s.at(i);
            if (c == QLatin1Char('\'')) {
                s.insert(i, QLatin1Char('\''));
                ++i;
            } else if (special.contains(c)) {
                s.replace(i, 1, QStringLiteral("[%1]").arg(c));
                i += 2;
            }
        }
    }
    return s.trimmed();
}

QString ExtractNumber(const QString &text)
{
    QString result;
    for (const QChar c : text) {
        if (c == QLatin1Char('-')) {
            if (result.isEmpty())
                result += c;
        } else if (c == QLatin1Char('.')) {
            if (!result.contains(QLatin1Char('.')))
                result += c;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            result += c;
        }
    }
    return result.trimmed();
}

double leadingNumber(const QString &text)
{
    QString s;
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            s += c;
    }
    int i = 0;
    QString number;
    if (i < s.size() && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        number += s.at(i++);
    bool digits = false;
    while (i < s.size() && s.at(i).isDigit() && s.at(i).unicode() < 128) {
        number += s.at(i++);
        digits = true;
    }
    if (i < s.size() && s.at(i) == QLatin1Char('.')) {
        number += s.at(i++);
        while (i < s.size() && s.at(i).isDigit() && s.at(i).unicode() < 128) {
            number += s.at(i++);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && (s.at(i) == QLatin1Char('e') || s.at(i) == QLatin1Char('E'))) {
        QString exponent = QStringLiteral("e");
        int j = i + 1;
        if (j < s.size() && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            exponent += s.at(j++);
        bool expDigits = false;
        while (j < s.size() && s.at(j).isDigit() && s.at(j).unicode() < 128) {
            exponent += s.at(j++);
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    return value;
}

QString plainNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15 || magnitude < 1e-4) {
        QString s = QString::number(value, 'E', 14);
        // 1.00000000000000E+20 -> 1E+20
        const int e = s.indexOf(QLatin1Char('E'));
        QString mantissa = s.left(e);
        if (mantissa.contains(QLatin1Char('.'))) {
            while (mantissa.endsWith(QLatin1Char('0')))
                mantissa.chop(1);
            if (mantissa.endsWith(QLatin1Char('.')))
                mantissa.chop(1);
        }
        QString exponent = s.mid(e + 2);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        return mantissa + QStringLiteral("E") + s.at(e + 1) + exponent;
    }
    return QString::number(value, 'g', 15);
}

int windowedYear(int twoDigitYear)
{
    return twoDigitYear < 30 ? 2000 + twoDigitYear : 1900 + twoDigitYear;
}

std::optional<QDate> readCriteriaDate(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int month = m.captured(1).toInt();
    const int day = m.captured(2).toInt();
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year = windowedYear(year);
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

namespace {

CriteriaCheck reject(int row, const QString &title, const QString &prompt, CriteriaCheck::Box box)
{
    CriteriaCheck c;
    c.passed = false;
    c.row = row;
    c.title = title;
    c.prompt = prompt;
    c.box = box;
    return c;
}

// Checks of the part-of-date operators.
std::optional<CriteriaCheck> checkDatePart(int i, OperatorKind kind, const QString &criteria)
{
    const double n = leadingNumber(criteria);
    switch (kind) {
    case OperatorKind::MonthEquals:
        if (n < 1 || n > 12)
            return reject(
                i, QStringLiteral("Bad Month of the Year Number!"),
                QStringLiteral("You must supply a valid month of the year number (1-12) in the find criteria."),
                CriteriaCheck::Box::Unchanged);
        break;
    case OperatorKind::DayEquals:
        if (n < 1 || n > 31)
            return reject(
                i, QStringLiteral("Bad Day of the Month Number!"),
                QStringLiteral("You must supply a valid day of the month number (1-31) in the find criteria."),
                CriteriaCheck::Box::Unchanged);
        break;
    case OperatorKind::YearEquals:
        if (!readCriteriaDate(QStringLiteral("01/01/") + criteria))
            return reject(i, QStringLiteral("Bad Year!"),
                          QStringLiteral("You must supply a valid year in the find criteria."),
                          CriteriaCheck::Box::Unchanged);
        break;
    case OperatorKind::DayOfYearEquals:
        if (n < 1 || n > 366)
            return reject(
                i, QStringLiteral("Bad Day of the Year Number!"),
                QStringLiteral("You must supply a valid day of the year number (1-366) in the find criteria."),
                CriteriaCheck::Box::Unchanged);
        break;
    case OperatorKind::WeekOfYearEquals:
        if (n < 1 || n > 52)
            return reject(
                i, QStringLiteral("Bad Week of the Year Number!"),
                QStringLiteral("You must supply a valid week of the year number (1-52) in the find criteria."),
                CriteriaCheck::Box::Unchanged);
        break;
    default: break;
    }
    return std::nullopt;
}

} // namespace

CriteriaCheck CheckCriteria(FilterRows &rows)
{
    for (int i = 0; i < 5; ++i) {
        if (i >= rows.rows.size() || !rows.rows.at(i).exists || rows.rows.at(i).typeCode < 0)
            return {};
        FilterRow &row = rows.rows[i];
        switch (classOf(row.typeCode)) {
        case FieldClass::Text:
            if (row.criteria.isEmpty()) {
                row.criteria = QStringLiteral("empty");
                return reject(
                    i, QStringLiteral("Empty Criteria Field"),
                    QStringLiteral("When finding a text or memo field that equals nothing, use the criteria 'empty'."),
                    CriteriaCheck::Box::SetToEmptyWord);
            }
            break;
        case FieldClass::Number:
            if (ExtractNumber(row.criteria).isEmpty()) {
                row.criteria.clear();
                return reject(i, QStringLiteral("Invalid Numeric Criteria"),
                              QStringLiteral("You must supply a valid number when finding based on numeric fields."),
                              CriteriaCheck::Box::Cleared);
            }
            row.criteria = plainNumber(leadingNumber(row.criteria));
            break;
        case FieldClass::Boolean: {
            const QString word = row.criteria.toLower();
            if (word != QLatin1String("true") && word != QLatin1String("false") && word != QLatin1String("yes")
                && word != QLatin1String("no")) {
                row.criteria.clear();
                return reject(
                    i, QStringLiteral("Bad Logical Criteria"),
                    QStringLiteral("For checkbox fields and radio buttons, you must supply 'Yes', 'No', 'True', "
                                   "or 'False' for the criteria."),
                    CriteriaCheck::Box::Cleared);
            }
            row.criteria = word.toUpper();
            break;
        }
        case FieldClass::Date:
            if (!isDatePart(row.kind())) {
                if (row.criteria.isEmpty() || !readCriteriaDate(row.criteria))
                    return reject(
                        i, QStringLiteral("Missing or Invalid Date"),
                        QStringLiteral("You must supply a valid date in the find criteria based on a date field.")
                            + platform::kParagraphBreak + QStringLiteral("Example Date Format: 12/1/93"),
                        CriteriaCheck::Box::Unchanged);
            } else if (auto failed = checkDatePart(i, row.kind(), row.criteria)) {
                return *failed;
            }
            break;
        case FieldClass::None: break;
        }
    }
    return {};
}

} // namespace filter
