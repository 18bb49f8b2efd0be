#pragma once

#include "platform/Services.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>
#include <optional>

namespace testing_support {

// Stands in for the desktop in tests: records every box, beep and pointer
// change, and answers boxes and file dialogs from queues the test filled.
// A box that nobody expected fails the test. Installs itself on
// construction and restores the desktop on destruction.
class ScriptedServices : public platform::Services
{
public:
    ScriptedServices();
    ~ScriptedServices() override;

    // Answers for the next boxes, in order. A function answer can look at
    // the box (and at the windows) before it answers.
    void answer(platform::Button button);
    void answerWith(std::function<platform::Button(const platform::MessageBoxRequest &)> responder);
    void answerFile(std::optional<QString> fileName);
    // Answers every box for which no answer is queued (a prompt that comes
    // an unknown number of times, such as the next disk).
    void answerOthersWith(std::function<platform::Button(const platform::MessageBoxRequest &)> responder);
    // Answers the next multiple file choice (an empty list: cancelled).
    void answerFiles(const QStringList &fileNames);
    // Answers the next text input (nullopt: cancelled).
    void answerText(std::optional<QString> text);

    QList<platform::MessageBoxRequest> boxes;
    int beeps = 0;
    QList<platform::Pointer> pointerChanges;
    QList<platform::FileDialogRequest> fileDialogs;

    const platform::MessageBoxRequest &lastBox() const { return boxes.last(); }
    int pendingAnswers() const { return int(m_answers.size()); }
    QStringList boxTexts() const;

    platform::Button messageBox(const platform::MessageBoxRequest &box) override;
    void beep() override { ++beeps; }
    void setPointer(platform::Pointer pointer) override;
    platform::Pointer pointer() const override { return m_pointer; }
    std::optional<QString> openFileName(const platform::FileDialogRequest &request) override;
    std::optional<QString> saveFileName(const platform::FileDialogRequest &request) override;
    std::optional<QString> existingFolder(const platform::FileDialogRequest &request) override;
    std::optional<QStringList> openFileNames(const platform::FileDialogRequest &request) override;
    std::optional<QString> textInput(const platform::TextInputRequest &request) override;
    QList<platform::TextInputRequest> textInputs;

private:
    std::optional<QString> nextFile(const platform::FileDialogRequest &request);

    QQueue<std::function<platform::Button(const platform::MessageBoxRequest &)>> m_answers;
    QQueue<std::optional<QString>> m_files;
    std::function<platform::Button(const platform::MessageBoxRequest &)> m_others;
    QQueue<std::optional<QStringList>> m_fileLists;
    QQueue<std::optional<QString>> m_texts;
    platform::Pointer m_pointer = platform::Pointer::Default;
};

} // namespace testing_support
