#pragma once

#include <QTest>

// Skips a test that needs something this machine lacks (a PostgreSQL server, the sample
// databases, pdftotext). Where VELLUMARK_TEST_REQUIRE_ALL is set, as the test command sets it,
// the test fails instead, so a run that silently tested less can never pass.
#define VM_SKIP(reason)                                                                            \
    do {                                                                                           \
        if (qEnvironmentVariableIsSet("VELLUMARK_TEST_REQUIRE_ALL"))                               \
            QFAIL(qPrintable(QStringLiteral("required but unavailable: ") + (reason)));            \
        QSKIP(qPrintable(QString(reason)));                                                        \
    } while (false)

// Skips (or, as above, fails) when `reason` is not empty: the form the "why not here" helpers
// (missingSample, engineUnavailable, pdfUnavailable) are used in.
#define VM_SKIP_IF(reason)                                                                         \
    do {                                                                                           \
        if (const QString vmWhyNot = (reason); !vmWhyNot.isEmpty())                                \
            VM_SKIP(vmWhyNot);                                                                     \
    } while (false)
