#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace csv {

// A file's bytes read as text: UTF-8 (with or without a byte order mark)
// when they are valid UTF-8, otherwise Windows-1252, the code page that
// spreadsheets and the old program wrote on the desktop. A file that is
// UTF-8 but for a few bytes (it has a byte order mark, or more characters
// written as UTF-8 than bytes that are not) is read as neither: either
// reading would garble some of its letters.
struct DecodedText {
    QString text;
    QString encoding;   // "UTF-8" or "Windows-1252"
    int binaryLine = 0; // line of the first zero byte (a file that is not text); 0 when none
    // The first byte that is not UTF-8 in a file that is UTF-8 otherwise: its
    // line, its place in the line (from 1, in bytes) and its value. Line 0
    // when the file was read.
    int strayLine = 0;
    int strayColumn = 0;
    unsigned char strayByte = 0;
};

DecodedText decodeText(const QByteArray &bytes);

// The separator of a file, from its first line: the one of comma, semicolon
// and tab that occurs most often outside quotes; a comma when none does.
QChar detectDelimiter(const QString &text);
QString delimiterName(QChar delimiter);

// One record of a CSV text: its values and the line it begins on (1-based;
// a line break inside quotes starts a new line of the file, not a record).
struct CsvRecord {
    int line = 0;
    QStringList values;
};

// Reads RFC 4180 records one at a time: values separated by the delimiter,
// records by CR LF, LF or CR; a value in double quotes may hold delimiters,
// line breaks and doubled quotes. Blank lines between records are skipped.
class CsvParser
{
public:
    CsvParser(const QString &text, QChar delimiter);

    // False at the end of the text. A quoted value that is never closed
    // ends the text; unclosedQuoteLine() then tells where it opened.
    bool next(CsvRecord *record);
    int unclosedQuoteLine() const { return m_unclosedQuoteLine; }
    // How far into the text the reading has come.
    qsizetype position() const { return m_pos; }

private:
    QString m_text; // shared with the caller's text, never copied
    QChar m_delimiter;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_unclosedQuoteLine = 0;
};

// Spreadsheets take a value that begins with '=', '+', '-', '@', a tab or a
// carriage return for a formula and run it. The export writes such a text,
// and one whose apostrophes at the start come before such a character, with
// one more apostrophe in front, which spreadsheets show as text; the import
// takes that one apostrophe away again, so that customers go out and come
// back exactly.
bool needsFormulaGuard(QByteArrayView utf8);
QString withoutFormulaGuard(const QString &value);

// Appends one value to a line of UTF-8 output, in double quotes when it
// holds a comma, a quote, a line break or blanks at either end.
void appendCsvValue(QByteArray &out, const char *utf8, qsizetype size);
inline void appendCsvValue(QByteArray &out, const QByteArray &utf8)
{
    appendCsvValue(out, utf8.constData(), utf8.size());
}

} // namespace csv
