#include "reports/TextBatch.h"

#include <QFont>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>

namespace reports {

TextBatch::TextBatch(const QFont &font, QPainter &painter) : m_painter(painter)
{
    const QPaintEngine *engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Pdf || font.kerning() || font.underline() || font.strikeOut()
        || font.overline())
        return;
    m_font = QRawFont::fromFont(QFont(font, painter.device()));
    m_enabled = m_font.isValid();
}

const TextBatch::Glyph *TextBatch::glyphFor(char16_t c)
{
    // Printable Latin: no controls, no soft hyphen or no-break space, which
    // shaping treats apart; and the ellipsis of a cut cell.
    Glyph *glyph = nullptr;
    if (c >= 0x20 && c < 0x250 && !(c >= 0x7f && c <= 0xa0) && c != 0xad)
        glyph = &m_latin[c];
    else if (c == 0x2026)
        glyph = &m_ellipsis;
    else
        return nullptr;
    if (!glyph->known) {
        const QChar ch(c);
        int count = 1;
        if (m_font.glyphIndexesForChars(&ch, 1, &glyph->index, &count) && count == 1 && glyph->index != 0) {
            QPointF advance;
            if (m_font.advancesForGlyphIndexes(&glyph->index, &advance, 1))
                glyph->advance = advance.x();
            else
                glyph->index = 0;
        } else {
            glyph->index = 0;
        }
        glyph->known = true;
    }
    return glyph->index != 0 ? glyph : nullptr;
}

void TextBatch::add(QPointF at, const QString &text)
{
    if (text.isEmpty())
        return;
    if (m_enabled) {
        const qsizetype start = m_glyphs.size();
        double x = at.x();
        bool plain = true;
        for (QChar c : text) {
            const Glyph *glyph = glyphFor(c.unicode());
            if (!glyph) {
                plain = false;
                break;
            }
            m_glyphs.append(glyph->index);
            m_positions.append(QPointF(x, at.y()));
            x += glyph->advance;
        }
        if (plain)
            return;
        m_glyphs.resize(start);
        m_positions.resize(start);
    }
    m_painter.drawText(at, text);
}

void TextBatch::flush()
{
    if (m_glyphs.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_font);
    run.setGlyphIndexes(m_glyphs);
    run.setPositions(m_positions);
    m_painter.drawGlyphRun(QPointF(0, 0), run);
    m_glyphs.clear();
    m_positions.clear();
}

} // namespace reports
