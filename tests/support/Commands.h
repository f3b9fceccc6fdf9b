#pragma once

// Running the programs as an operator or a script does, for the end-to-end suites.

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace vm::test {

struct Run {
    int exitCode = -1; // also when it crashed or did not end
    QString errors;
    QStringList output; // lines of standard output
};

inline Run
runCommand(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError()),
            QString::fromUtf8(process.readAllStandardOutput())
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts)};
}

// This environment without the variables named.
inline QProcessEnvironment environmentWithout(const QStringList& names)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : names)
        environment.remove(name);
    return environment;
}

// Every file of a folder, as full paths, sorted.
inline QStringList filesIn(const QString& folder)
{
    QStringList files;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name))
        files << QDir(folder).filePath(name);
    return files;
}

#ifdef VELLUMARK_PRINT
inline Run print(const QStringList& arguments)
{
    return runCommand(QStringLiteral(VELLUMARK_PRINT), arguments);
}
#endif

} // namespace vm::test
