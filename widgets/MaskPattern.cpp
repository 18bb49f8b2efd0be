#include "widgets/MaskPattern.h"

namespace widgets {

namespace {
bool isPlaceholder(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('9') || c == QLatin1Char('A');
}

// Characters that QLineEdit's input-mask language reads as commands.
bool isQtMaskMeta(QChar c)
{
    static const QString meta = QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{}");
    return meta.contains(c);
}
} // namespace

MaskPattern::MaskPattern(const QString &mask) : m_mask(mask)
{
}

QString MaskPattern::qtInputMask() const
{
    QString out;
    for (QChar c : m_mask) {
        if (c == QLatin1Char('#') || c == QLatin1Char('9'))
            out += QLatin1Char('0'); // a digit, permitted but not required
        else if (c == QLatin1Char('A'))
            out += QLatin1Char('n'); // a letter or digit, permitted but not required
        else if (isQtMaskMeta(c))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return out + QLatin1Char(';') + blank();
}

QString MaskPattern::emptyForm() const
{
    QString out;
    for (QChar c : m_mask)
        out += isPlaceholder(c) ? blank() : c;
    return out;
}

bool MaskPattern::isLiteral(int position) const
{
    return position >= 0 && position < m_mask.size() && !isPlaceholder(m_mask.at(position));
}

bool MaskPattern::hasTypedCharacter(const QString &shown) const
{
    for (int i = 0; i < shown.size() && i < m_mask.size(); ++i) {
        if (!isLiteral(i) && shown.at(i) != blank())
            return true;
    }
    return false;
}

QVariant MaskPattern::storedValue(const QString &shown) const
{
    int last = -1;
    for (int i = 0; i < shown.size() && i < m_mask.size(); ++i) {
        if (!isLiteral(i) && shown.at(i) != blank())
            last = i;
    }
    if (last < 0)
        return QVariant();
    QString out;
    for (int i = 0; i <= last; ++i) {
        if (isLiteral(i) || shown.at(i) != blank())
            out += shown.at(i);
    }
    return out;
}

} // namespace widgets
