#pragma once

#include <QString>

namespace platform {

// The values match the classic message-box constants so that texts and
// tests can speak of "Yes = 6" the way the operator's manuals do.
enum class Button { None = 0, OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class Buttons { OKOnly, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };

enum class Icon { None, Critical, Question, Exclamation, Information };

// One modal box as the program asks for it. An empty title shows the
// application title "Vantrel".
struct MessageBoxRequest {
    QString title;
    QString text;
    Buttons buttons = Buttons::OKOnly;
    int defaultButton = 1; // 1 = first button of the set, 2 = second, 3 = third
    Icon icon = Icon::None;

    QString shownTitle() const;
    Button defaultAnswer() const;
};

// The buttons of a set, left to right.
QList<Button> buttonsOf(Buttons set);

// Message texts break their lines with carriage returns, as the system's
// prompts always have; two end a paragraph. shownLines() turns them into the
// line breaks a window or a terminal shows.
inline const QString kParagraphBreak = QStringLiteral("\r\r");
QString shownLines(const QString &text);

QString describe(const MessageBoxRequest &box);
QString buttonName(Button b);

inline const QString &applicationTitle()
{
    static const QString title = QStringLiteral("Vantrel");
    return title;
}

} // namespace platform
