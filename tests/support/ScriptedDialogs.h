#pragma once

#include "app/Dialogs.h"

#include <QList>
#include <QStringList>

namespace vm::test {

// Answers every operator question from a script and records what was asked, so windows run
// headless. An unscripted message answers Ok (or No for a question); an unscripted file dialog is
// cancelled.
class ScriptedDialogs : public Dialogs {
public:
    QList<OperatorMessage> messages;
    QList<MessageAnswer> answers;
    QStringList fileAnswers; // for open and save dialogs, in order; "" cancels
    QList<FileRequest> fileRequests;
    QStringList folderAnswers;
    QList<QRgb> colorAnswers;
    bool printerSetupAnswer = true;
    int printerSetupCalls = 0;
    int pageSetupCalls = 0;

    QStringList messageTexts() const;
    void clear();

    MessageAnswer message(QWidget* parent, const OperatorMessage& message) override;
    QString openFileName(QWidget* parent, const FileRequest& request) override;
    QString saveFileName(QWidget* parent, const FileRequest& request) override;
    QString folder(QWidget* parent, const QString& title, const QString& startFolder) override;
    std::optional<QRgb> color(QWidget* parent, QRgb initial) override;
    bool printerSetup(QWidget* parent, QPrinter* printer) override;
    bool pageSetup(QWidget* parent, QPrinter* printer) override;
};

} // namespace vm::test
