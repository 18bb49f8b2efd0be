// A listing's cells drawn as one run of glyphs on a PDF must read as the
// same cells drawn one text at a time: the same words in the same places.
#include "SampleCenter.h"
#include "reports/TextBatch.h"

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Word {
    QString text;
    double box[4];
};

// The words of a PDF with their boxes, in points, as pdftotext finds them.
std::vector<Word> wordsOf(const QString &pdf)
{
    QProcess read;
    read.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!read.waitForFinished(60000) || read.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed on " << pdf.toStdString();
        return {};
    }
    static const QRegularExpression word(
        QStringLiteral(R"re(xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)<)re"));
    std::vector<Word> words;
    for (const auto &m : word.globalMatch(QString::fromUtf8(read.readAllStandardOutput())))
        words.push_back(
            {m.captured(5),
             {m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4).toDouble()}});
    return words;
}

void drawCells(const QString &pdf, bool batched)
{
    const QStringList cells{
        QStringLiteral("Whitfield"),        QStringLiteral("AV To Wa, LT"),  QStringLiteral("Émile Zürich"),
        QStringLiteral("$1,234.56"),        QStringLiteral("ÆØÅ ßŁő ǅ"),     QStringLiteral("Longer name th…"),
        QStringLiteral("東京 Tokyo"),       QStringLiteral("Cafe\u0301"),    QStringLiteral("Ωmega"),
        QStringLiteral("soft\u00adhyphen"), QStringLiteral("no\u00a0break"), QStringLiteral("tab\there")};
    QPdfWriter writer(pdf);
    writer.setResolution(1200);
    QPainter painter(&writer);
    for (bool bold : {false, true}) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(9);
        font.setBold(bold);
        font.setKerning(false);
        font.setStyleStrategy(QFont::PreferNoShaping);
        painter.setFont(font);
        reports::TextBatch batch(font, painter);
        for (int i = 0; i < cells.size(); ++i) {
            // Places between whole units, as a listing's columns fall.
            const QPointF at(300.37 + (i % 3) * 2400.29, (bold ? 6000.61 : 1000.13) + (i / 3) * 400.17);
            if (batched)
                batch.add(at, cells[i]);
            else
                painter.drawText(at, cells[i]);
        }
        batch.flush();
    }
}

TEST(TextBatch, CellsInOneRunLookAndReadAsCellsDrawnOneByOne)
{
    QTemporaryDir dir;
    const QString single = dir.filePath(QStringLiteral("single.pdf"));
    const QString batched = dir.filePath(QStringLiteral("batched.pdf"));
    drawCells(single, false);
    drawCells(batched, true);

    const std::vector<Word> expected = wordsOf(single);
    const std::vector<Word> drawn = wordsOf(batched);
    ASSERT_EQ(drawn.size(), expected.size());
    ASSERT_GT(drawn.size(), 24u);
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(drawn[i].text, expected[i].text);
        for (int side = 0; side < 4; ++side)
            EXPECT_NEAR(drawn[i].box[side], expected[i].box[side], 0.001) << expected[i].text.toStdString();
    }

    const QString text = testing_support::pdfText(batched);
    EXPECT_EQ(text, testing_support::pdfText(single));
    for (const char *word : {"Whitfield", "Émile Zürich", "$1,234.56", "ÆØÅ ßŁő", "th…", "東京 Tokyo"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << word;
}

} // namespace
