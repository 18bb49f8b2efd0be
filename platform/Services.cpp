#include "platform/Services.h"
#include "platform/QtServices.h"

namespace platform {

namespace {
Services *g_replacement = nullptr;
}

Services &services()
{
    if (g_replacement)
        return *g_replacement;
    static QtServices desktop;
    return desktop;
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
