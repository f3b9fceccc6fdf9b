#pragma once

// What every benchmark's command line and report need, without a window.
#include <QFile>
#include <QStringList>

namespace vm::bench {

// The number after `name` among the arguments, or `fallback`.
inline int option(const QStringList& arguments, const char* name, int fallback)
{
    const qsizetype at = arguments.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : fallback;
}

// The machine's load average over the last minute: the figures mean little without it.
inline double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readLine().split(' ').value(0).toDouble() : -1;
}

} // namespace vm::bench
