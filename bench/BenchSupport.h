#pragma once

// What the GUI benchmarks share: dialogs that answer by themselves and the process's peak memory.
#include "widgets/Dialogs.h"

#include <QFile>
#include <QStringList>

#include <optional>

namespace vm::bench {

// Answers every question with its default and counts what was said.
class QuietDialogs : public Dialogs {
public:
    QStringList said;
    MessageAnswer yesNo = MessageAnswer::No; // the answer to a Yes/No question
    MessageAnswer message(QWidget*, const OperatorMessage& m) override
    {
        said << m.text + QLatin1Char(' ') + m.detail;
        const bool yesOrNo =
            m.buttons == MessageButtons::YesNo || m.buttons == MessageButtons::YesNoCancel;
        return yesOrNo ? yesNo : MessageAnswer::Ok;
    }
    QString openFileName(QWidget*, const FileRequest&) override { return {}; }
    QString saveFileName(QWidget*, const FileRequest&) override { return {}; }
    QString folder(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QRgb> color(QWidget*, QRgb) override { return std::nullopt; }
    bool printerSetup(QWidget*, QPrinter*) override { return false; }
    bool pageSetup(QWidget*, QPrinter*) override { return false; }
    std::optional<QString> password(QWidget*, const QString&) override { return std::nullopt; }
};

inline double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

} // namespace vm::bench
