// Statement text of any shape: the PostgreSQL translation never fails, changes nothing when
// there is no bracket, and is done after one pass; any declared type gives some kind.
#include "project/ColumnKind.h"
#include "project/SqlText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString once = vm::bracketsToDoubleQuotes(text);
    if (!text.contains(u'[') && once != text)
        __builtin_trap();
    if (vm::bracketsToDoubleQuotes(once) != once)
        __builtin_trap();
    const vm::ColumnKind kind = vm::columnKindForDeclaredType(text);
    if (kind != vm::ColumnKind::Text && kind != vm::ColumnKind::Numeric &&
        kind != vm::ColumnKind::Other)
        __builtin_trap();
    return 0;
}
