#include "WindowFixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace testing_support {

template<typename OnBackend>
void RecordWindowOn<OnBackend>::retype(const QString &name, const QString &keys)
{
    enter(name);
    if (auto *line = qobject_cast<QLineEdit *>(control(name)))
        line->selectAll();
    QTest::keyClicks(control(name), keys);
}

template<typename OnBackend>
QString RecordWindowOn<OnBackend>::shown(const QString &name) const
{
    QWidget *w = control(name);
    if (auto *line = qobject_cast<QLineEdit *>(w))
        return line->displayText();
    if (auto *text = qobject_cast<QPlainTextEdit *>(w))
        return text->toPlainText();
    return QString();
}

template class RecordWindowOn<FileTest>;
template class RecordWindowOn<BackendTest>;

} // namespace testing_support
