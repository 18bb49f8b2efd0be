#pragma once

#include <QString>
#include <QVariant>

namespace widgets {

// An entry mask as the record window's fields are described: "#" and "9"
// stand for one digit, "A" for one letter or digit, every other character
// is a literal that the field shows and skips ("(999)999-9999").
//
// Stored form: a field that holds no typed character stores nothing (null).
// Otherwise it stores what the operator sees up to the last typed
// character, literals included and unfilled places left out: "(555)123-4567",
// "12-34-56", "12345" for a zip typed without its last four digits. Filters
// compare typed criteria with exactly this text.
class MaskPattern
{
public:
    explicit MaskPattern(const QString &mask);

    const QString &mask() const { return m_mask; }
    // The mask in QLineEdit's input-mask language, with "_" as the blank.
    QString qtInputMask() const;
    // What an empty field shows: "(___)___-____".
    QString emptyForm() const;

    bool isLiteral(int position) const;
    // Whether the shown text holds at least one typed character.
    bool hasTypedCharacter(const QString &shown) const;
    // The stored value of the shown text (see above).
    QVariant storedValue(const QString &shown) const;

    static constexpr QChar blank() { return QLatin1Char('_'); }

private:
    QString m_mask;
};

} // namespace widgets
