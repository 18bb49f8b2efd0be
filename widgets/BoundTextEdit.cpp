#include "widgets/BoundTextEdit.h"

#include <algorithm>

namespace widgets {

BoundTextEdit::BoundTextEdit(const QString &dataField, QWidget *parent) : QPlainTextEdit(parent), m_dataField(dataField)
{
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling)
            m_modified = true;
    });
}

namespace {

// The text up to the limits, every line cut at the line limit; empty when the
// whole text is within them.
QString partOf(const QString &text)
{
    qsizetype lineStart = 0;
    bool cut = text.size() > BoundTextEdit::kShownCharacters;
    for (qsizetype i = 0; i <= text.size() && !cut; ++i) {
        if (i == text.size() || text.at(i) == QLatin1Char('\n')) {
            cut = i - lineStart > BoundTextEdit::kShownLineCharacters;
            lineStart = i + 1;
        }
    }
    if (!cut)
        return QString();
    QString part;
    lineStart = 0;
    for (qsizetype i = 0; i <= text.size() && part.size() < BoundTextEdit::kShownCharacters; ++i) {
        if (i == text.size() || text.at(i) == QLatin1Char('\n')) {
            const qsizetype length = i - lineStart;
            part += QStringView(text).mid(lineStart, std::min(length, BoundTextEdit::kShownLineCharacters));
            if (length > BoundTextEdit::kShownLineCharacters)
                part += QStringLiteral(" \u2026");
            part += QLatin1Char('\n');
            lineStart = i + 1;
        }
    }
    return part.left(BoundTextEdit::kShownCharacters);
}

} // namespace

QString BoundTextEdit::partMark(qsizetype characters)
{
    return QStringLiteral("[Shown in part: this note holds %L1 characters. It is kept as it is and cannot be edited "
                          "here.]")
        .arg(characters);
}

QVariant BoundTextEdit::boundValue() const
{
    if (m_inPart)
        return m_whole;
    const QString text = toPlainText();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

void BoundTextEdit::setBoundValue(const QVariant &value)
{
    m_filling = true;
    const QString text = value.isNull() ? QString() : value.toString();
    const QString part = partOf(text);
    if (m_inPart && part.isEmpty()) {
        m_inPart = false;
        m_whole = QVariant();
        setProperty("shownInPart", false);
        setReadOnly(false);
        setToolTip(m_tooltip);
    }
    if (part.isEmpty()) {
        setPlainText(text);
    } else {
        if (!m_inPart)
            m_tooltip = toolTip();
        m_inPart = true;
        m_whole = value;
        // Read-only windows leave such a field read-only too.
        setProperty("shownInPart", true);
        setReadOnly(true);
        setPlainText(part + QLatin1Char('\n') + partMark(text.size()));
        setToolTip(partMark(text.size()));
    }
    m_filling = false;
}

} // namespace widgets
