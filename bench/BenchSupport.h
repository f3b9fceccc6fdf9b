#pragma once

// What the GUI benchmarks share: dialogs that answer by themselves, waiting for the event loop,
// the process's CPU time and its peak memory.
#include "widgets/Dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <ctime>
#include <functional>
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
    std::optional<QString> askText(QWidget*, const QString&, const QString& initial) override
    {
        return initial;
    }
    std::optional<int> chooseItem(QWidget*, const QString&, const QStringList&, int initial) override
    {
        return initial;
    }
};

// Runs the event loop until the condition holds; false after `ms` without. It sleeps until the
// next event (a timer bounds the sleep), so waiting takes no processor time from the threads
// being measured: processEvents with a time limit polls without sleeping.
inline bool waitFor(const std::function<bool()>& condition, int ms = 120000)
{
    QTimer wakeUp;
    wakeUp.start(20);
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// CPU time of the whole process: other builds on the machine do not count in it.
inline double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

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
