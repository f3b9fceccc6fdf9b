#include "support/ScriptedDialogs.h"

namespace vm::test {

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const OperatorMessage& message : messages)
        texts << message.text;
    return texts;
}

void ScriptedDialogs::clear()
{
    *this = ScriptedDialogs();
}

MessageAnswer ScriptedDialogs::message(QWidget*, const OperatorMessage& message)
{
    messages << message;
    if (!answers.isEmpty())
        return answers.takeFirst();
    return message.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

QString ScriptedDialogs::openFileName(QWidget*, const FileRequest& request)
{
    fileRequests << request;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedDialogs::saveFileName(QWidget*, const FileRequest& request)
{
    fileRequests << request;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedDialogs::folder(QWidget*, const QString&, const QString&)
{
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

std::optional<QRgb> ScriptedDialogs::color(QWidget*, QRgb)
{
    if (colorAnswers.isEmpty())
        return std::nullopt;
    return colorAnswers.takeFirst();
}

bool ScriptedDialogs::printerSetup(QWidget*, QPrinter*)
{
    ++printerSetupCalls;
    return printerSetupAnswer;
}

bool ScriptedDialogs::pageSetup(QWidget*, QPrinter*)
{
    ++pageSetupCalls;
    return printerSetupAnswer;
}

} // namespace vm::test
