#pragma once

#include "store/BoundField.h"

#include <QDate>
#include <QLineEdit>

namespace widgets {

// A date field bound to one field (TDBDate): "mm/dd/yyyy", empty or a real
// date. Its value is a QDate, or null when empty; bound to a text field it
// stores the date as "mm/dd/yyyy" text.
//
// A text that is not a date (02/30/2024, or a date typed only in part) is
// not accepted: when the focus moves on, the operator is told, the field
// goes back to what it held before, and the focus comes back to it. If the
// row is written while such a text is still in the field, the text goes to
// the engine as it is and the engine refuses it, so it is never stored.
class DateEdit : public QLineEdit, public store::BoundField
{
    Q_OBJECT
public:
    enum class Storage { Date, Text };

    explicit DateEdit(const QString &dataField, Storage storage = Storage::Date, QWidget *parent = nullptr);

    static QString displayFormat() { return QStringLiteral("MM/dd/yyyy"); }
    // "01/15/2024", and the forms a text field may already hold; invalid if none fits.
    static QDate parse(const QString &text);

    // Whether no digit was typed.
    bool isBlank() const;
    // The date shown; invalid when blank or not a date.
    QDate date() const;
    bool holdsDate() const { return date().isValid(); }
    // Puts a date in as if the operator had typed it (an invalid date empties the field).
    void setEditedDate(const QDate &date);
    // Tells the operator that the text is not a date, puts back what the
    // field held before and keeps the focus in it. Nothing when it is a date.
    void refuseEntry();

    QString dataField() const override { return m_dataField; }
    QVariant boundValue() const override;
    void setBoundValue(const QVariant &value) override;
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override;

signals:
    // The focus came from, or went to, another control of the window.
    void entered();
    void left();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool isAcceptable() const { return isBlank() || holdsDate(); }
    void showDate(const QDate &date);
    void remember();

    QString m_dataField;
    Storage m_storage;
    bool m_modified = false;
    // What the field held when it was last filled from the row or left with
    // a date (or blank), to go back to.
    QString m_acceptedText;
    bool m_acceptedModified = false;
    bool m_refusing = false;
};

} // namespace widgets
