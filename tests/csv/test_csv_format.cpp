// Reading and writing CSV text, and the checks each field's values pass.
#include "csv/CsvText.h"
#include "csv/FieldRules.h"
#include "store/Schema.h"

#include <gtest/gtest.h>

using namespace csv;

namespace {

QList<CsvRecord> parseAll(const QString &text, QChar delimiter = QLatin1Char(','))
{
    CsvParser parser(text, delimiter);
    QList<CsvRecord> records;
    CsvRecord r;
    while (parser.next(&r))
        records << r;
    return records;
}

FieldRule ruleFor(const QString &field)
{
    for (const FieldRule &r : fieldRules(store::Schema::information())) {
        if (r.field == field)
            return r;
    }
    ADD_FAILURE() << "no rule for " << field.toStdString();
    return {};
}

// The stored value, or the reason as a string prefixed with "!".
QString checked(const QString &field, const QString &value)
{
    QVariant stored;
    QString reason;
    if (!checkValue(ruleFor(field), value, &stored, &reason))
        return QStringLiteral("!") + reason;
    return stored.isNull() ? QStringLiteral("<null>") : stored.toString();
}

} // namespace

TEST(CsvText, DecodesUtf8WithOrWithoutMarkAndFallsBackToWindows1252)
{
    const QByteArray utf8 = QStringLiteral("Zoë,Ψυχή").toUtf8();
    EXPECT_EQ(decodeText(utf8).text, QStringLiteral("Zoë,Ψυχή"));
    const DecodedText marked = decodeText("\xEF\xBB\xBF" + utf8);
    EXPECT_EQ(marked.text, QStringLiteral("Zoë,Ψυχή"));
    EXPECT_EQ(marked.encoding, QStringLiteral("UTF-8"));

    const DecodedText ansi = decodeText(QByteArray("Zo\xEB \x80 \x93quoted\x94 \x81"));
    EXPECT_EQ(ansi.encoding, QStringLiteral("Windows-1252"));
    EXPECT_EQ(ansi.text, QStringLiteral("Zoë € “quoted” \u0081"));

    EXPECT_EQ(decodeText(QByteArray("a,b\nc,d\n\x01\x00zz", 11)).binaryLine, 3);

    // A byte order mark says UTF-8: a stray byte is refused, not guessed at.
    const DecodedText stray = decodeText("\xEF\xBB\xBF"
                                         "a,b\r\nZo\xEB,x\n");
    EXPECT_TRUE(stray.text.isEmpty());
    EXPECT_EQ(stray.strayLine, 2);
    EXPECT_EQ(stray.strayColumn, 3);
    EXPECT_EQ(stray.strayByte, 0xEB);
}

TEST(CsvText, DetectsTheSeparatorFromTheFirstLine)
{
    EXPECT_EQ(detectDelimiter(QStringLiteral("a,b,c\n1;2;3;4;5")), QLatin1Char(','));
    EXPECT_EQ(detectDelimiter(QStringLiteral("a;b;\"x,y,z\"\n")), QLatin1Char(';'));
    EXPECT_EQ(detectDelimiter(QStringLiteral("a\tb\tc")), QLatin1Char('\t'));
    EXPECT_EQ(detectDelimiter(QStringLiteral("LockerNumber")), QLatin1Char(','));
}

TEST(CsvText, ParsesQuotesLineBreaksAndLineNumbers)
{
    const QList<CsvRecord> records =
        parseAll(QStringLiteral("a,b,c\r\n\"x, y\",\"say \"\"hi\"\"\",\"one\ntwo\r\nthree\"\n\n1,,3\r4,5"));
    ASSERT_EQ(records.size(), 4);
    EXPECT_EQ(records.at(0).line, 1);
    EXPECT_EQ(records.at(1).values,
              (QStringList{QStringLiteral("x, y"), QStringLiteral("say \"hi\""), QStringLiteral("one\ntwo\r\nthree")}));
    EXPECT_EQ(records.at(1).line, 2);
    EXPECT_EQ(records.at(2).line, 6); // after a value of three lines and a blank line
    EXPECT_EQ(records.at(2).values, (QStringList{QStringLiteral("1"), QString(), QStringLiteral("3")}));
    EXPECT_EQ(records.at(3).line, 7);
    EXPECT_EQ(records.at(3).values.size(), 2);

    CsvParser open(QStringLiteral("a,b\n1,\"never closed\n2,3\n"), QLatin1Char(','));
    CsvRecord r;
    ASSERT_TRUE(open.next(&r));
    ASSERT_TRUE(open.next(&r));
    EXPECT_EQ(open.unclosedQuoteLine(), 2);
    EXPECT_FALSE(open.next(&r));
}

TEST(CsvText, QuotesOnlyWhatNeedsIt)
{
    auto written = [](const char *value) {
        QByteArray out;
        appendCsvValue(out, QByteArray(value));
        return out;
    };
    EXPECT_EQ(written("plain O'Neil"), QByteArray("plain O'Neil"));
    EXPECT_EQ(written("a,b"), QByteArray("\"a,b\""));
    EXPECT_EQ(written("say \"hi\""), QByteArray("\"say \"\"hi\"\"\""));
    EXPECT_EQ(written("one\ntwo"), QByteArray("\"one\ntwo\""));
    EXPECT_EQ(written(" lead"), QByteArray("\" lead\""));
    EXPECT_EQ(written(""), QByteArray(""));
}

TEST(FieldRules, NumbersWithinTheLongIntegerRange)
{
    EXPECT_EQ(checked("LockerNumber", " 2147483647 "), QStringLiteral("2147483647"));
    EXPECT_EQ(checked("LockerNumber", "-2147483648"), QStringLiteral("-2147483648"));
    EXPECT_EQ(checked("LockerNumber", ""), QStringLiteral("<null>"));
    EXPECT_EQ(checked("LockerNumber", "2147483648"),
              QStringLiteral("!2147483648 is above 2147483647, the largest number the field holds."));
    EXPECT_EQ(checked("KeyDeposit", "99999999999999999999999"),
              QStringLiteral("!99999999999999999999999 is above 2147483647, the largest number the field holds."));
    EXPECT_EQ(checked("KeyNumber", "12.5"), QStringLiteral("!'12.5' is not a whole number."));
    EXPECT_EQ(checked("VIBNumber", "1 000"), QStringLiteral("!'1 000' is not a whole number."));
}

TEST(FieldRules, DatesInEveryFormAFileBrings)
{
    EXPECT_EQ(checked("DateRented", "01/15/2024"), QStringLiteral("2024-01-15"));
    EXPECT_EQ(checked("DateRented", "1/5/29"), QStringLiteral("2029-01-05"));
    EXPECT_EQ(checked("DateRented", "1/5/30"), QStringLiteral("1930-01-05"));
    EXPECT_EQ(checked("DateToRenew", "2024-02-29"), QStringLiteral("2024-02-29"));
    EXPECT_EQ(checked("DateToRenew", "01/15/24 00:00:00"), QStringLiteral("2024-01-15"));
    EXPECT_EQ(checked("DateToRenew", "2024-01-15 00:00:00"), QStringLiteral("2024-01-15"));
    EXPECT_EQ(checked("Birthdate", "1961-02-03"), QStringLiteral("02/03/1961")); // a text field keeps the window's form
    for (const char *bad : {"02/30/2024", "2023-02-29", "13/01/2024", "yesterday", "01/15/24 25:00:00", "15.01.2024"})
        EXPECT_TRUE(checked("DateRented", bad).startsWith(QStringLiteral("!'"))) << bad;
}

TEST(FieldRules, YesNoWordsAndNumbers)
{
    for (const char *yes : {"Yes", "TRUE", "1", "-1", " yes "})
        EXPECT_EQ(checked("Adult", yes), QStringLiteral("true")) << yes;
    for (const char *no : {"No", "false", "0", ""})
        EXPECT_EQ(checked("Adult", no), QStringLiteral("false")) << no;
    EXPECT_EQ(checked("Winter", "maybe"), QStringLiteral("!'maybe' is not Yes or No (Yes, No, True, False, 1 or 0)."));
}

TEST(FieldRules, TextsWithinTheirLengthAndMasks)
{
    EXPECT_EQ(checked("FirstName", QString(50, QLatin1Char('a'))), QString(50, QLatin1Char('a')));
    EXPECT_EQ(checked("FirstName", QString(60, QLatin1Char('a'))),
              QStringLiteral("!60 characters; the field holds 50."));
    EXPECT_TRUE(checked("LastName", "two\nlines").startsWith(QStringLiteral("!")));
    EXPECT_EQ(checked("Notes", "two\nlines"), QStringLiteral("two\nlines"));
    EXPECT_EQ(checked("City", " Spaced "), QStringLiteral(" Spaced ")); // kept as written

    EXPECT_EQ(checked("Phone1", "(555)123-4567"), QStringLiteral("(555)123-4567"));
    EXPECT_EQ(checked("Phone1", "555-123-4567"), QStringLiteral("(555)123-4567"));
    EXPECT_EQ(checked("Phone1", "5551234567"), QStringLiteral("(555)123-4567"));
    EXPECT_EQ(checked("Zip", "12345"), QStringLiteral("12345"));
    EXPECT_EQ(checked("Zip", "12345-"), QStringLiteral("12345"));
    EXPECT_EQ(checked("SSNumber", "123456789"), QStringLiteral("123-45-6789"));
    EXPECT_EQ(checked("Gender", "f"), QStringLiteral("f"));
    EXPECT_EQ(checked("Gender", "Male"), QStringLiteral("!'Male' does not fit the entry pattern A."));
    EXPECT_EQ(checked("Phone1", "555-CALL-NOW"),
              QStringLiteral("!'555-CALL-NOW' does not fit the entry pattern (999)999-9999."));
    EXPECT_EQ(checked("Combo1", "12-34-56-78"),
              QStringLiteral("!'12-34-56-78' does not fit the entry pattern ##-##-##."));
}
