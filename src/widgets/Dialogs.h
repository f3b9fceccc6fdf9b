#pragma once

#include <QRgb>
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;
class QWidget;

namespace vm {

// The caption of every operator message unless a message names its own.
inline const QString AppTitle = QStringLiteral("Vellumark");

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct OperatorMessage {
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    QString title;  // empty: AppTitle
    QString detail; // why something failed, shown below the text; may be empty
};

struct FileRequest {
    QString title;
    QString filter; // Qt form: "Project File (*.Prj);;All Files (*)"
    QString initialFolder;
    QString fileName;
};

// Every question put to the operator goes through this interface: message boxes, file, folder,
// colour and printer dialogs. The program runs on QtDialogs; tests install a scripted answerer.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer message(QWidget* parent, const OperatorMessage& message) = 0;
    // The chosen full path, or an empty text when cancelled.
    virtual QString openFileName(QWidget* parent, const FileRequest& request) = 0;
    virtual QString saveFileName(QWidget* parent, const FileRequest& request) = 0;
    virtual QString folder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
    virtual std::optional<QRgb> color(QWidget* parent, QRgb initial) = 0;
    // Lets the operator choose the printer and its settings; false when cancelled.
    virtual bool printerSetup(QWidget* parent, QPrinter* printer) = 0;
    // Paper size, orientation and margins of the printer; false when cancelled.
    virtual bool pageSetup(QWidget* parent, QPrinter* printer) = 0;
    // A password typed in a masked box below `text`; nothing when cancelled.
    virtual std::optional<QString> password(QWidget* parent, const QString& text) = 0;
    // A line typed below `prompt`, starting with `initial`; nothing when cancelled.
    virtual std::optional<QString> askText(QWidget* parent, const QString& prompt,
                                           const QString& initial) = 0;
    // One of `choices` picked below `prompt`, `initial` offered; nothing when cancelled.
    virtual std::optional<int> chooseItem(QWidget* parent, const QString& prompt,
                                          const QStringList& choices, int initial) = 0;
};

class QtDialogs final : public Dialogs {
public:
    MessageAnswer message(QWidget* parent, const OperatorMessage& message) override;
    QString openFileName(QWidget* parent, const FileRequest& request) override;
    QString saveFileName(QWidget* parent, const FileRequest& request) override;
    QString folder(QWidget* parent, const QString& title, const QString& startFolder) override;
    std::optional<QRgb> color(QWidget* parent, QRgb initial) override;
    bool printerSetup(QWidget* parent, QPrinter* printer) override;
    bool pageSetup(QWidget* parent, QPrinter* printer) override;
    std::optional<QString> password(QWidget* parent, const QString& text) override;
    std::optional<QString> askText(QWidget* parent, const QString& prompt,
                                   const QString& initial) override;
    std::optional<int> chooseItem(QWidget* parent, const QString& prompt,
                                  const QStringList& choices, int initial) override;
};

// The usual message: a text with OK, or a question, captioned with the application's title.
MessageAnswer MsgBox(Dialogs& dialogs, QWidget* parent, const QString& text,
                     MessageButtons buttons = MessageButtons::Ok,
                     MessageIcon icon = MessageIcon::None, const QString& title = {});

} // namespace vm
