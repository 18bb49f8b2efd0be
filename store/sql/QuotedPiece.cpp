#include "store/sql/QuotedPiece.h"

namespace store {

QString quotedPiece(QStringView piece)
{
    constexpr qsizetype kMaxShown = 60;
    QString shown;
    const bool cut = piece.size() > kMaxShown;
    for (QChar c : cut ? piece.first(kMaxShown) : piece) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (cut)
        shown += QStringLiteral("...");
    return QLatin1Char('\'') + shown + QLatin1Char('\'');
}

QString quotedPiece(QStringView text, qsizetype position, qsizetype length)
{
    return quotedPiece(text.sliced(position, qMin(length, text.size() - position)));
}

} // namespace store
