#include "platform/MessageBox.h"

#include <QList>

namespace platform {

QString MessageBoxRequest::shownTitle() const
{
    return title.isEmpty() ? applicationTitle() : title;
}

QList<Button> buttonsOf(Buttons set)
{
    switch (set) {
    case Buttons::OKOnly: return {Button::OK};
    case Buttons::OKCancel: return {Button::OK, Button::Cancel};
    case Buttons::AbortRetryIgnore: return {Button::Abort, Button::Retry, Button::Ignore};
    case Buttons::YesNoCancel: return {Button::Yes, Button::No, Button::Cancel};
    case Buttons::YesNo: return {Button::Yes, Button::No};
    case Buttons::RetryCancel: return {Button::Retry, Button::Cancel};
    }
    return {Button::OK};
}

Button MessageBoxRequest::defaultAnswer() const
{
    const QList<Button> all = buttonsOf(buttons);
    const int index = defaultButton - 1;
    return index >= 0 && index < all.size() ? all.at(index) : all.first();
}

QString buttonName(Button b)
{
    switch (b) {
    case Button::None: return QStringLiteral("None");
    case Button::OK: return QStringLiteral("OK");
    case Button::Cancel: return QStringLiteral("Cancel");
    case Button::Abort: return QStringLiteral("Abort");
    case Button::Retry: return QStringLiteral("Retry");
    case Button::Ignore: return QStringLiteral("Ignore");
    case Button::Yes: return QStringLiteral("Yes");
    case Button::No: return QStringLiteral("No");
    }
    return QString();
}

static QString iconName(Icon icon)
{
    switch (icon) {
    case Icon::None: return QStringLiteral("none");
    case Icon::Critical: return QStringLiteral("critical");
    case Icon::Question: return QStringLiteral("question");
    case Icon::Exclamation: return QStringLiteral("exclamation");
    case Icon::Information: return QStringLiteral("information");
    }
    return QString();
}

QString shownLines(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString describe(const MessageBoxRequest &box)
{
    QStringList names;
    for (Button b : buttonsOf(box.buttons))
        names << buttonName(b);
    return QStringLiteral("[%1] \"%2\" buttons=%3 default=%4 icon=%5")
        .arg(box.shownTitle(), box.text, names.join(QLatin1Char('/')), buttonName(box.defaultAnswer()),
             iconName(box.icon));
}

} // namespace platform
