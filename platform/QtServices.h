#pragma once

#include "platform/Services.h"

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

} // namespace platform
