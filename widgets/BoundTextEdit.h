#pragma once

#include "store/BoundField.h"

#include <QPlainTextEdit>

namespace widgets {

// A text box of several lines with a vertical scroll bar, bound to one
// long-text field (txtFields for notes). Tab moves on to the next control.
// A note too long to lay out at once (megabytes, or one endless line) is
// shown in part with a mark that says so, read-only; the whole text is kept
// and, not being edited, never written back.
class BoundTextEdit : public QPlainTextEdit, public store::BoundField
{
    Q_OBJECT
public:
    explicit BoundTextEdit(const QString &dataField, QWidget *parent = nullptr);

    QString dataField() const override { return m_dataField; }
    QVariant boundValue() const override;
    void setBoundValue(const QVariant &value) override;
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override { m_modified = modified; }

    static constexpr qsizetype kShownCharacters = 65536;
    static constexpr qsizetype kShownLineCharacters = 4096;
    static QString partMark(qsizetype characters);

private:
    QString m_dataField;
    bool m_modified = false;
    bool m_filling = false;
    bool m_inPart = false;
    QVariant m_whole; // the stored text, while only part of it is shown
    QString m_tooltip;
};

} // namespace widgets
