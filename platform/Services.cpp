#include "platform/Services.h"

#include <QtGlobal>

namespace platform {

namespace {

Services *g_replacement = nullptr;
Services *g_desktop = nullptr;

// Before a desktop is installed (a program without windows): boxes are
// written to the log and take their default answer, choosers are cancelled.
class UnattendedServices : public Services
{
public:
    Button messageBox(const MessageBoxRequest &box) override
    {
        qWarning("%s: %s", qUtf8Printable(box.shownTitle()), qUtf8Printable(shownLines(box.text)));
        return box.defaultAnswer();
    }
    void beep() override {}
    void setPointer(Pointer pointer) override { m_pointer = pointer; }
    Pointer pointer() const override { return m_pointer; }
    std::optional<QString> openFileName(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> existingFolder(const FileDialogRequest &) override { return std::nullopt; }

private:
    Pointer m_pointer = Pointer::Default;
};

} // namespace

Services &services()
{
    if (g_replacement)
        return *g_replacement;
    if (g_desktop)
        return *g_desktop;
    static UnattendedServices unattended;
    return unattended;
}

void setDesktopServices(Services *desktop)
{
    g_desktop = desktop;
}

void setServices(Services *replacement)
{
    g_replacement = replacement;
}

std::optional<QStringList> Services::openFileNames(const FileDialogRequest &request)
{
    const std::optional<QString> one = openFileName(request);
    if (!one)
        return std::nullopt;
    return QStringList{*one};
}

std::optional<QString> Services::textInput(const TextInputRequest &)
{
    return std::nullopt;
}

Button msgBox(const QString &text, Buttons buttons, Icon icon, const QString &title, int defaultButton)
{
    MessageBoxRequest box;
    box.text = text;
    box.buttons = buttons;
    box.icon = icon;
    box.title = title;
    box.defaultButton = defaultButton;
    return services().messageBox(box);
}

Hourglass::Hourglass()
{
    services().setPointer(Pointer::Hourglass);
}

Hourglass::~Hourglass()
{
    services().setPointer(Pointer::Default);
}

} // namespace platform
