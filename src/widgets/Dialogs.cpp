#include "widgets/Dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace vm {
namespace {

QMessageBox::StandardButtons standardButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageAnswer QtDialogs::message(QWidget* parent, const OperatorMessage& message)
{
    QMessageBox box(boxIcon(message.icon), message.title.isEmpty() ? AppTitle : message.title,
                    message.text, standardButtons(message.buttons), parent);
    if (!message.detail.isEmpty())
        box.setInformativeText(message.detail);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    default:
        return message.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
}

QString QtDialogs::openFileName(QWidget* parent, const FileRequest& request)
{
    QString start = request.initialFolder;
    if (!request.fileName.isEmpty())
        start = QDir(start).filePath(request.fileName);
    return QFileDialog::getOpenFileName(parent, request.title, start, request.filter);
}

QString QtDialogs::saveFileName(QWidget* parent, const FileRequest& request)
{
    QString start = request.initialFolder;
    if (!request.fileName.isEmpty())
        start = QDir(start).filePath(request.fileName);
    return QFileDialog::getSaveFileName(parent, request.title, start, request.filter);
}

QString QtDialogs::folder(QWidget* parent, const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder);
}

std::optional<QString> QtDialogs::password(QWidget* parent, const QString& text)
{
    bool ok = false;
    QString typed = QInputDialog::getText(parent, AppTitle, text, QLineEdit::Password, {}, &ok);
    if (!ok)
        return std::nullopt;
    return typed;
}

std::optional<QString> QtDialogs::askText(QWidget* parent, const QString& prompt,
                                          const QString& initial)
{
    bool ok = false;
    QString typed =
        QInputDialog::getText(parent, AppTitle, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return typed;
}

std::optional<int> QtDialogs::chooseItem(QWidget* parent, const QString& prompt,
                                         const QStringList& choices, int initial)
{
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent, AppTitle, prompt, choices, initial, false, &ok);
    if (!ok)
        return std::nullopt;
    return int(choices.indexOf(chosen));
}

std::optional<QRgb> QtDialogs::color(QWidget* parent, QRgb initial)
{
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(initial), parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen.rgb();
}

bool QtDialogs::printerSetup(QWidget* parent, QPrinter* printer)
{
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::pageSetup(QWidget* parent, QPrinter* printer)
{
    QPageSetupDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

MessageAnswer MsgBox(Dialogs& dialogs, QWidget* parent, const QString& text, MessageButtons buttons,
                     MessageIcon icon, const QString& title)
{
    return dialogs.message(parent, OperatorMessage{text, buttons, icon, title, {}});
}

} // namespace vm
