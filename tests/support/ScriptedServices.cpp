#include "support/ScriptedServices.h"

#include <gtest/gtest.h>

namespace testing_support {

ScriptedServices::ScriptedServices()
{
    platform::setServices(this);
}

ScriptedServices::~ScriptedServices()
{
    platform::setServices(nullptr);
    EXPECT_TRUE(m_answers.isEmpty()) << m_answers.size() << " scripted answer(s) were never asked for";
    EXPECT_EQ(m_pointer, platform::Pointer::Default) << "the pointer was left as the hourglass";
}

void ScriptedServices::answer(platform::Button button)
{
    m_answers.enqueue([button](const platform::MessageBoxRequest &) { return button; });
}

void ScriptedServices::answerWith(std::function<platform::Button(const platform::MessageBoxRequest &)> responder)
{
    m_answers.enqueue(std::move(responder));
}

void ScriptedServices::answerOthersWith(std::function<platform::Button(const platform::MessageBoxRequest &)> responder)
{
    m_others = std::move(responder);
}

void ScriptedServices::answerFile(std::optional<QString> fileName)
{
    m_files.enqueue(std::move(fileName));
}

QStringList ScriptedServices::boxTexts() const
{
    QStringList texts;
    for (const auto &b : boxes)
        texts << b.text;
    return texts;
}

platform::Button ScriptedServices::messageBox(const platform::MessageBoxRequest &box)
{
    boxes.append(box);
    if (m_answers.isEmpty() && m_others)
        return m_others(box);
    if (m_answers.isEmpty()) {
        ADD_FAILURE() << "unexpected message box: " << platform::describe(box).toStdString();
        return box.defaultAnswer();
    }
    return m_answers.dequeue()(box);
}

void ScriptedServices::setPointer(platform::Pointer pointer)
{
    m_pointer = pointer;
    pointerChanges.append(pointer);
}

std::optional<QString> ScriptedServices::nextFile(const platform::FileDialogRequest &request)
{
    fileDialogs.append(request);
    if (m_files.isEmpty()) {
        ADD_FAILURE() << "unexpected file dialog: " << request.title.toStdString();
        return std::nullopt;
    }
    return m_files.dequeue();
}

std::optional<QString> ScriptedServices::openFileName(const platform::FileDialogRequest &request)
{
    return nextFile(request);
}

std::optional<QString> ScriptedServices::saveFileName(const platform::FileDialogRequest &request)
{
    return nextFile(request);
}

std::optional<QString> ScriptedServices::existingFolder(const platform::FileDialogRequest &request)
{
    return nextFile(request);
}

void ScriptedServices::answerFiles(const QStringList &fileNames)
{
    if (fileNames.isEmpty())
        m_fileLists.enqueue(std::nullopt);
    else
        m_fileLists.enqueue(fileNames);
}

void ScriptedServices::answerText(std::optional<QString> text)
{
    m_texts.enqueue(std::move(text));
}

std::optional<QStringList> ScriptedServices::openFileNames(const platform::FileDialogRequest &request)
{
    fileDialogs.append(request);
    if (m_fileLists.isEmpty()) {
        ADD_FAILURE() << "unexpected multiple file dialog: " << request.title.toStdString();
        return std::nullopt;
    }
    return m_fileLists.dequeue();
}

std::optional<QString> ScriptedServices::textInput(const platform::TextInputRequest &request)
{
    textInputs.append(request);
    if (m_texts.isEmpty()) {
        ADD_FAILURE() << "unexpected text input: " << request.title.toStdString() << ": "
                      << request.prompt.toStdString();
        return std::nullopt;
    }
    return m_texts.dequeue();
}

} // namespace testing_support
