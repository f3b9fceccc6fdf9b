#pragma once

#include "common/Status.h"

#include <QTest>

// Verifies that a Status or Result succeeded, showing its message when it did not.
#define VM_VERIFY_OK(expression)                                                                   \
    do {                                                                                           \
        const auto& vmOutcome = (expression);                                                      \
        QVERIFY2(vmOutcome.ok(), qPrintable(vmOutcome.error()));                                   \
    } while (false)
