#pragma once

#include "widgets/Dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace vm::test {

// Answers every operator question from a script and records what was asked, so windows run
// headless. An unscripted message answers Ok (or No for a question); any other unscripted dialog
// is cancelled.
class ScriptedDialogs : public Dialogs {
public:
    QList<OperatorMessage> messages;
    QList<MessageAnswer> answers;
    QStringList fileAnswers; // for open and save dialogs, in order; "" cancels
    QList<FileRequest> fileRequests;
    QStringList folderAnswers;   // for folder dialogs, in order; "" cancels
    QList<QRgb> colorAnswers;    // for colour dialogs, in order; none left cancels
    QStringList passwordAnswers; // for password prompts, in order; none left cancels
    QStringList passwordPrompts;
    // For text prompts, in order; none left accepts the text offered, as Enter would.
    QList<std::optional<QString>> textAnswers;
    QStringList textPrompts;
    // For choices, in order; none left takes the choice offered.
    QList<std::optional<int>> choiceAnswers;
    QStringList choicePrompts;
    std::function<void()> whileAsked; // runs as each message or text prompt stands on the screen

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const OperatorMessage& message : messages)
            texts << message.text;
        return texts;
    }

    void clear() { *this = ScriptedDialogs(); }

    MessageAnswer message(QWidget*, const OperatorMessage& message) override
    {
        messages << message;
        if (whileAsked)
            whileAsked();
        if (!answers.isEmpty())
            return answers.takeFirst();
        return message.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    QString openFileName(QWidget*, const FileRequest& request) override { return file(request); }
    QString saveFileName(QWidget*, const FileRequest& request) override { return file(request); }
    QString folder(QWidget*, const QString&, const QString&) override
    {
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    std::optional<QRgb> color(QWidget*, QRgb) override
    {
        if (colorAnswers.isEmpty())
            return std::nullopt;
        return colorAnswers.takeFirst();
    }
    bool printerSetup(QWidget*, QPrinter*) override { return false; }
    bool pageSetup(QWidget*, QPrinter*) override { return false; }
    std::optional<QString> password(QWidget*, const QString& text) override
    {
        passwordPrompts << text;
        if (passwordAnswers.isEmpty())
            return std::nullopt;
        return passwordAnswers.takeFirst();
    }
    std::optional<QString> askText(QWidget*, const QString& prompt, const QString& initial) override
    {
        textPrompts << prompt;
        if (whileAsked)
            whileAsked();
        return textAnswers.isEmpty() ? std::optional<QString>(initial) : textAnswers.takeFirst();
    }

    std::optional<int> chooseItem(QWidget*, const QString& prompt, const QStringList&,
                                  int initial) override
    {
        choicePrompts << prompt;
        return choiceAnswers.isEmpty() ? std::optional<int>(initial) : choiceAnswers.takeFirst();
    }

private:
    QString file(const FileRequest& request)
    {
        fileRequests << request;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
};

} // namespace vm::test
