#pragma once

#include "platform/Services.h"

class QMessageBox;

namespace platform {

// The desktop: QMessageBox, QApplication::beep, the override cursor and
// QFileDialog.
class QtServices : public Services
{
public:
    Button messageBox(const MessageBoxRequest &box) override;
    void beep() override;
    void setPointer(Pointer pointer) override;
    Pointer pointer() const override { return m_pointer; }
    std::optional<QString> openFileName(const FileDialogRequest &request) override;
    std::optional<QString> saveFileName(const FileDialogRequest &request) override;
    std::optional<QString> existingFolder(const FileDialogRequest &request) override;
    std::optional<QStringList> openFileNames(const FileDialogRequest &request) override;
    std::optional<QString> textInput(const TextInputRequest &request) override;

private:
    Pointer m_pointer = Pointer::Default;
};

// Makes the desktop implementation the one services() gives; the program
// and the test programs call it first thing.
void installQtServices();

// A message box as the desktop shows the request: its title, icon, text
// with line breaks, buttons, default and escape button.
void prepareMessageBox(QMessageBox &box, const MessageBoxRequest &request);

} // namespace platform
