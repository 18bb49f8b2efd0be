#include "filter/FilterMessages.h"

namespace filter::FilterMessages {

namespace {

platform::MessageBoxRequest box(const QString &title, const QString &text, platform::Buttons buttons, int defaultButton,
                                platform::Icon icon)
{
    platform::MessageBoxRequest b;
    b.title = title;
    b.text = text;
    b.buttons = buttons;
    b.defaultButton = defaultButton;
    b.icon = icon;
    return b;
}
} // namespace

using platform::Buttons;
using platform::Icon;

platform::MessageBoxRequest confirmDeleteCounted(qint64 n)
{
    return box(QStringLiteral("Confirm!"),
               QStringLiteral("By performing this function, you will delete %1 records which meet your filter!").arg(n)
                   + platform::kParagraphBreak + QStringLiteral("Are you sure you wish to delete these records?"),
               Buttons::YesNo, 2, Icon::Question);
}

platform::MessageBoxRequest nothingToDelete()
{
    return box(QStringLiteral("No Records Found!"),
               QStringLiteral("By performing this function, you will not delete any records which meet the filter!")
                   + platform::kParagraphBreak + QStringLiteral("Try Again?"),
               Buttons::YesNo, 1, Icon::Question);
}

platform::MessageBoxRequest confirmDeleteByCriteria()
{
    return box(
        QStringLiteral("Confirm!"),
        QStringLiteral("Hint: Select the 'Count Records' checkbox before performing the function to find out how "
                       "many records will be deleted.")
            + platform::kParagraphBreak
            + QStringLiteral("Are you sure you wish to delete the records which meet the provided criteria?"),
        Buttons::YesNo, 2, Icon::Question);
}

platform::MessageBoxRequest confirmDeleteAll()
{
    return box(QStringLiteral("Confirm!"),
               QStringLiteral("Are you sure you wish to delete all the records in this database?"), Buttons::YesNo, 2,
               Icon::Question);
}

platform::MessageBoxRequest finishedDeleting()
{
    return box(QStringLiteral("Finished Deleting!"),
               QStringLiteral("The specified records (if any) have been deleted!") + platform::kParagraphBreak
                   + QStringLiteral("An attempt to find all records will now be performed."),
               Buttons::OKOnly, 1, Icon::Exclamation);
}

platform::MessageBoxRequest duplicated()
{
    return box(QStringLiteral("Filter Duplicated!"),
               QStringLiteral("The current filter you have requested matches the current filter previously set.")
                   + platform::kParagraphBreak + QStringLiteral("Refresh the Database?"),
               Buttons::YesNoCancel, 1, Icon::Exclamation);
}

platform::MessageBoxRequest engineError(const QString &engineText, const QString &statement)
{
    return box(QString(), engineText + platform::kParagraphBreak + statement, Buttons::OKOnly, 1, Icon::None);
}

platform::MessageBoxRequest noMatch()
{
    return box(QStringLiteral("Sorry!"),
               QStringLiteral("Your filter has found no matching records.") + platform::kParagraphBreak
                   + QStringLiteral("Try Again?"),
               Buttons::YesNo, 1, Icon::Question);
}

platform::MessageBoxRequest foundCount(qint64 n, bool sorted)
{
    if (n == 1)
        return box(QStringLiteral("Found Record!"), QStringLiteral("1 Record Was Found."), Buttons::OKOnly, 1,
                   Icon::Exclamation);
    QString text = QString::number(n) + QStringLiteral(" Records Were Found");
    if (sorted)
        text += QStringLiteral(" And Sorted");
    text += QLatin1Char('.');
    return box(QStringLiteral("Found Records!"), text, Buttons::OKOnly, 1, Icon::Exclamation);
}

platform::MessageBoxRequest noActiveFilter()
{
    return box(QStringLiteral("Notice"), QStringLiteral("There is no active filter to cancel !"), Buttons::OKOnly, 1,
               Icon::Exclamation);
}

} // namespace filter::FilterMessages
