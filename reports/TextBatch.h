#pragma once

#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <array>

class QFont;
class QPainter;

namespace reports {

// Single-line texts of one font, drawn together as one run of glyphs.
// On a PDF each text drawn on its own becomes a text object with its own
// graphics state and font selection, which for a listing's short cells
// costs more than the glyphs; one run per page writes that once.
//
// A text goes in the run only when each of its characters is one glyph of
// the font itself, placed left to right by its advance: Latin letters,
// digits and signs, as a listing's cells nearly always are. Any other text
// (another script, a combining accent, a character the font lacks) is drawn
// as text at once, so that shaping and font fallback place it as before.
// The font must draw without kerning, as the run places glyphs by their
// own advances.
class TextBatch
{
public:
    // `font` as the painter has it; the run is used only on a PDF or
    // printer, where it saves most. Elsewhere every text is drawn at once.
    TextBatch(const QFont &font, QPainter &painter);

    // Draws `text` with its baseline starting at `at`, now or at flush().
    void add(QPointF at, const QString &text);
    // Draws the texts held, with the painter's pen.
    void flush();

private:
    struct Glyph {
        quint32 index = 0;
        double advance = 0;
        bool known = false;
    };
    const Glyph *glyphFor(char16_t c);

    QPainter &m_painter;
    QRawFont m_font;
    bool m_enabled = false;
    std::array<Glyph, 0x250> m_latin{};
    Glyph m_ellipsis;
    QList<quint32> m_glyphs;
    QList<QPointF> m_positions;
};

} // namespace reports
