#pragma once

#include "store/BoundField.h"
#include "widgets/MaskPattern.h"
#include "widgets/StoredValueMark.h"

#include <QLineEdit>

namespace widgets {

// A masked entry field bound to one field (TDBMask). The mask refuses
// characters that do not fit; an empty field shows the mask's empty form
// and stores nothing. See MaskPattern for what is stored.
class MaskedEdit : public QLineEdit, public store::BoundField
{
    Q_OBJECT
public:
    MaskedEdit(const QString &dataField, const QString &mask, QWidget *parent = nullptr);

    const MaskPattern &pattern() const { return m_pattern; }
    // Whether no character was typed.
    bool isBlank() const { return !m_mark.isMarked() && !m_pattern.hasTypedCharacter(displayText()); }
    QVariant value() const { return m_mark.isMarked() ? m_stored : m_pattern.storedValue(displayText()); }
    // Puts a text in as if the operator had typed it.
    void setEditedText(const QString &text);
    // Puts in a value the window chose by itself: it is written with the
    // row's other edits, but alone it does not make a new row worth adding.
    void setFilledText(const QString &text);

    QString dataField() const override { return m_dataField; }
    QVariant boundValue() const override { return value(); }
    void setBoundValue(const QVariant &value) override;
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override;
    bool holdsOperatorEntry() const override { return m_modified && !m_filled && !isBlank(); }

signals:
    // The focus came from, or went to, another control of the window.
    void entered();
    void left();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void startNewValue();

    QString m_dataField;
    MaskPattern m_pattern;
    bool m_modified = false;
    StoredValueMark m_mark;
    QVariant m_stored;     // the value shown marked
    bool m_filled = false; // what the field holds came from the window, not the operator
};

} // namespace widgets
