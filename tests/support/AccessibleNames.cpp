#include "support/AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextEdit>

namespace testing_support {

namespace {

bool isInput(QWidget *w)
{
    // A line edit inside a spin box or an editable list is part of that
    // control and is named through it.
    // Parts of a compound control (the edit of a spin box or list, the
    // headers of a table) are named through it.
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<QAbstractSpinBox *>(p) || qobject_cast<QComboBox *>(p) || qobject_cast<QAbstractItemView *>(p))
            return false;
    }
    // The scroll bars of a scrolled area belong to the area.
    if (qobject_cast<QScrollBar *>(w)) {
        for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
            if (qobject_cast<QAbstractScrollArea *>(p))
                return false;
        }
    }
    return qobject_cast<QLineEdit *>(w) || qobject_cast<QTextEdit *>(w) || qobject_cast<QPlainTextEdit *>(w)
        || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractButton *>(w)
        || qobject_cast<QAbstractItemView *>(w) || qobject_cast<QAbstractSlider *>(w);
}

} // namespace

QString accessibleNameOf(QWidget *control)
{
    if (!control->accessibleName().trimmed().isEmpty())
        return control->accessibleName().trimmed();
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(control);
    if (!reader)
        return QString();
    // A label whose buddy is the control names it.
    for (const auto &[label, relation] : reader->relations(QAccessible::Label)) {
        Q_UNUSED(relation);
        if (const QString text = label->text(QAccessible::Name).trimmed(); !text.isEmpty())
            return text;
    }
    // A list reads its current entry as its name on some desktops: that is
    // no prompt.
    if (qobject_cast<QComboBox *>(control))
        return QString();
    return reader->text(QAccessible::Name).trimmed();
}

QStringList inputsWithoutAccessibleName(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        // A label read by a fixed name hides the text it shows.
        if (auto *label = qobject_cast<QLabel *>(w); label && label->isVisibleTo(window)) {
            const QString name = label->accessibleName().trimmed();
            const bool picture = !label->pixmap().isNull() || label->movie();
            if (!picture && !name.isEmpty() && name != label->text().trimmed())
                unnamed << QStringLiteral("%1 (QLabel reads \"%2\" over its text \"%3\")")
                               .arg(label->objectName(), name, label->text().trimmed());
            continue;
        }
        if (!isInput(w) || !w->isVisibleTo(window))
            continue;
        if (accessibleNameOf(w).isEmpty())
            unnamed << QStringLiteral("%1 (%2)").arg(w->objectName(),
                                                     QString::fromLatin1(w->metaObject()->className()));
    }
    return unnamed;
}

} // namespace testing_support
