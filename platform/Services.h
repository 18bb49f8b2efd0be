#pragma once

#include "platform/MessageBox.h"

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace platform {

enum class Pointer { Default, Hourglass };

struct FileDialogRequest {
    QWidget *parent = nullptr;
    QString title;
    QString folder;
    QString fileName;
    QString filter;        // Qt filter text, e.g. "Zip files (*.zip);;All files (*)"
    bool mustExist = true; // open dialogs: the chosen file must exist
    QString defaultSuffix; // added to a name typed without an extension, e.g. "zip"
};

struct TextInputRequest {
    QWidget *parent = nullptr;
    QString title;
    QString prompt;
    bool secret = false;
};

// Everything the program asks of the desktop: boxes, beeps, the pointer and
// the file choosers. Windows call these instead of Qt directly so that tests
// can answer and record them.
class Services
{
public:
    virtual ~Services() = default;

    virtual Button messageBox(const MessageBoxRequest &box) = 0;
    virtual void beep() = 0;
    virtual void setPointer(Pointer pointer) = 0;
    virtual Pointer pointer() const = 0;
    // An empty optional means the operator cancelled.
    virtual std::optional<QString> openFileName(const FileDialogRequest &request) = 0;
    virtual std::optional<QString> saveFileName(const FileDialogRequest &request) = 0;
    virtual std::optional<QString> existingFolder(const FileDialogRequest &request) = 0;
    // An open dialog in which several files of one folder may be chosen; an
    // empty optional means the operator cancelled.
    virtual std::optional<QStringList> openFileNames(const FileDialogRequest &request);
    // A line of text typed into a small dialog (hidden as it is typed when
    // secret, e.g. a password); an empty optional means the operator cancelled.
    virtual std::optional<QString> textInput(const TextInputRequest &request);
};

Services &services();
// Installs another implementation (tests); nullptr goes back to the desktop one.
void setServices(Services *replacement);
// The desktop implementation, installed once by the program (see QtServices).
void setDesktopServices(Services *desktop);

// Shorthand for the common case.
Button msgBox(const QString &text, Buttons buttons = Buttons::OKOnly, Icon icon = Icon::None,
              const QString &title = QString(), int defaultButton = 1);

// Sets the hourglass for its lifetime and the default pointer afterwards,
// so that every path out of a long command restores the pointer.
class Hourglass
{
public:
    Hourglass();
    ~Hourglass();
    Hourglass(const Hourglass &) = delete;
    Hourglass &operator=(const Hourglass &) = delete;
};

} // namespace platform
