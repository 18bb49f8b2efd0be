#pragma once

#include <QString>

class QKeyEvent;
class QLineEdit;

namespace widgets {

// A field whose stored value does not fit what the field lets the operator
// type (a mask, a length): the value is shown as it is stored, marked by a
// colour and a tooltip, and kept unless the operator types a new one. The
// first key that edits starts the new value with the field's own limits.
class StoredValueMark
{
public:
    static QString text() { return QStringLiteral("the stored value does not fit this field"); }

    bool isMarked() const { return m_marked; }
    // Shows `value` whole in `edit`, marked; `lift` takes the field's limits
    // away (an input mask, a maximum length) before it is set.
    template<typename Lift>
    void show(QLineEdit *edit, const QString &value, Lift lift)
    {
        lift();
        setMarked(edit, true);
        setShown(edit, value);
    }
    // Takes the mark away, e.g. before a value that fits is shown.
    void clear(QLineEdit *edit) { setMarked(edit, false); }
    // Whether `event` starts a new value in a marked field; the caller then
    // puts the field's limits back, empties it and lets the key through.
    bool startsNewValue(const QKeyEvent *event) const;

private:
    void setMarked(QLineEdit *edit, bool marked);
    static void setShown(QLineEdit *edit, const QString &value);

    bool m_marked = false;
    QString m_tooltip;
};

} // namespace widgets
