// Any bytes read as a project file: rejected with a reason or read, and a project that was read
// is written and read again into the same settings.
#include "common/QuotedLines.h"
#include "project/ProjectFile.h"

#include <cstdint>
#include <cstdlib>

using namespace vm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StoredSettings settings;
    QString why;
    if (!parseProjectFile(
            QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)),
            &settings, &why)) {
        if (why.isEmpty())
            abort();
        return 0;
    }
    if (!unstorableProjectValue(settings).isEmpty())
        return 0;
    StoredSettings again;
    if (!parseProjectFile(encodeQuotedLines(projectFileLines(settings)), &again, &why) ||
        again != settings)
        abort();
    return 0;
}
