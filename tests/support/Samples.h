#pragma once

#include <QFile>
#include <QString>

namespace vm::test {

// The shared sample Access databases; tests read them where they lie and never keep a copy.
inline QString samplePath(const QString& name)
{
    return QStringLiteral(VELLUMARK_SAMPLES_DIR "/") + name;
}

// Why a test that reads the sample cannot run here; empty when it can.
inline QString missingSample(const QString& name)
{
    if (QFile::exists(samplePath(name)))
        return {};
    return samplePath(name) + QStringLiteral(" not found: the Access cases need ../shared/samples");
}

} // namespace vm::test
