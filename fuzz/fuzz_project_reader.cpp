// Any bytes read as a project file: rejected with a reason or read, and a project that was read
// is written and read again into the same settings, less a database password, which is never
// written.
#include "common/DatabaseAddress.h"
#include "common/QuotedLines.h"
#include "project/ProjectFile.h"

#include <cstdint>
#include <cstdlib>

using namespace vm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Result<StoredSettings> read = parseProjectFile(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!read) {
        if (read.error().isEmpty())
            abort();
        return 0;
    }
    if (!unstorableProjectValue(*read).isEmpty())
        return 0;
    const Result<StoredSettings> again =
        parseProjectFile(encodeQuotedLines(projectFileLines(*read)));
    StoredSettings expected = *read;
    expected.DatabasePath = WithoutPassword(read->DatabasePath);
    if (!again || *again != expected)
        abort();
    return 0;
}
