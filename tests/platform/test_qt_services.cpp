// The desktop's message box as a request asks for it.
#include "platform/QtServices.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

using platform::Button;
using platform::Buttons;
using platform::Icon;

platform::MessageBoxRequest request(Buttons buttons, int defaultButton, Icon icon, const QString &text = "Text")
{
    platform::MessageBoxRequest r;
    r.title = "Title";
    r.text = text;
    r.buttons = buttons;
    r.defaultButton = defaultButton;
    r.icon = icon;
    return r;
}

TEST(QtMessageBox, ButtonsDefaultAndEscapeFollowTheRequest)
{
    QMessageBox box;
    platform::prepareMessageBox(box, request(Buttons::YesNoCancel, 2, Icon::Question));
    EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(static_cast<QAbstractButton *>(box.defaultButton()), (box.button(QMessageBox::No)));
    EXPECT_EQ(box.escapeButton(), box.button(QMessageBox::Cancel));
    EXPECT_EQ(box.icon(), QMessageBox::Question);
    EXPECT_EQ(box.windowTitle(), "Title");

    QMessageBox yesNo;
    platform::prepareMessageBox(yesNo, request(Buttons::YesNo, 1, Icon::Exclamation));
    EXPECT_EQ(static_cast<QAbstractButton *>(yesNo.defaultButton()), (yesNo.button(QMessageBox::Yes)));
    EXPECT_EQ(yesNo.escapeButton(), nullptr) << "Yes/No has no escape: the frame's close answers";
    EXPECT_EQ(yesNo.icon(), QMessageBox::Warning);

    QMessageBox ok;
    platform::prepareMessageBox(ok, request(Buttons::OKOnly, 1, Icon::None));
    EXPECT_EQ(ok.standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(ok.escapeButton(), ok.button(QMessageBox::Ok));
    EXPECT_EQ(ok.icon(), QMessageBox::NoIcon);

    QMessageBox abort;
    platform::prepareMessageBox(abort, request(Buttons::AbortRetryIgnore, 3, Icon::Critical));
    EXPECT_EQ(static_cast<QAbstractButton *>(abort.defaultButton()), (abort.button(QMessageBox::Ignore)));
    EXPECT_EQ(abort.icon(), QMessageBox::Critical);
}

TEST(QtMessageBox, CarriageReturnsBecomeLineBreaksAndTheTextStaysPlain)
{
    QMessageBox box;
    platform::prepareMessageBox(box, request(Buttons::OKOnly, 1, Icon::Information, "One\r\rTwo\r\nThree <b>"));
    EXPECT_EQ(box.text(), "One\n\nTwo\nThree <b>");
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.icon(), QMessageBox::Information);
}

TEST(QtMessageBox, AnUntitledBoxCarriesTheProgramName)
{
    QMessageBox box;
    platform::MessageBoxRequest r = request(Buttons::OKOnly, 1, Icon::None);
    r.title.clear();
    platform::prepareMessageBox(box, r);
    EXPECT_EQ(box.windowTitle(), r.shownTitle());
    EXPECT_FALSE(box.windowTitle().isEmpty());
}

} // namespace
