#include "platform/QtServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

static QMessageBox::StandardButton toStandard(Button b)
{
    switch (b) {
    case Button::OK: return QMessageBox::Ok;
    case Button::Cancel: return QMessageBox::Cancel;
    case Button::Abort: return QMessageBox::Abort;
    case Button::Retry: return QMessageBox::Retry;
    case Button::Ignore: return QMessageBox::Ignore;
    case Button::Yes: return QMessageBox::Yes;
    case Button::No: return QMessageBox::No;
    case Button::None: break;
    }
    return QMessageBox::NoButton;
}

static QMessageBox::Icon toQtIcon(Icon icon)
{
    switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

void installQtServices()
{
    static QtServices desktop;
    setDesktopServices(&desktop);
}

void prepareMessageBox(QMessageBox &box, const MessageBoxRequest &request)
{
    const QString shown = shownLines(request.text);
    box.setIcon(toQtIcon(request.icon));
    box.setWindowTitle(request.shownTitle());
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    const QList<Button> set = buttonsOf(request.buttons);
    for (Button b : set)
        box.addButton(toStandard(b));
    box.setDefaultButton(toStandard(request.defaultAnswer()));
    if (set.contains(Button::Cancel))
        box.setEscapeButton(toStandard(Button::Cancel));
    else if (set.size() == 1)
        box.setEscapeButton(toStandard(set.first()));
}

Button QtServices::messageBox(const MessageBoxRequest &request)
{
    // A box must show the normal pointer even in the middle of a long command.
    const bool busy = m_pointer == Pointer::Hourglass;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);

    QMessageBox box(QApplication::activeWindow());
    prepareMessageBox(box, request);
    const QList<Button> set = buttonsOf(request.buttons);
    const int result = box.exec();

    if (busy)
        QGuiApplication::restoreOverrideCursor();
    for (Button b : set) {
        if (toStandard(b) == result)
            return b;
    }
    // Closed by the frame without an escape button: the cancelling answer.
    return set.contains(Button::Cancel) ? Button::Cancel : set.last();
}

void QtServices::beep()
{
    QApplication::beep();
}

void QtServices::setPointer(Pointer pointer)
{
    if (pointer == m_pointer)
        return;
    m_pointer = pointer;
    if (pointer == Pointer::Hourglass)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
}

std::optional<QString> QtServices::openFileName(const FileDialogRequest &r)
{
    QFileDialog dialog(r.parent, r.title, r.folder, r.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(r.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (!r.fileName.isEmpty())
        dialog.selectFile(r.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QStringList> QtServices::openFileNames(const FileDialogRequest &r)
{
    QFileDialog dialog(r.parent, r.title, r.folder, r.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles();
}

std::optional<QString> QtServices::textInput(const TextInputRequest &r)
{
    bool ok = false;
    const QString text = QInputDialog::getText(r.parent, r.title, r.prompt,
                                               r.secret ? QLineEdit::Password : QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtServices::saveFileName(const FileDialogRequest &r)
{
    QFileDialog dialog(r.parent, r.title, r.folder, r.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (!r.fileName.isEmpty())
        dialog.selectFile(r.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtServices::existingFolder(const FileDialogRequest &r)
{
    const QString folder = QFileDialog::getExistingDirectory(r.parent, r.title, r.folder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

} // namespace platform
