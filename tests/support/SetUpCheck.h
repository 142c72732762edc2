#pragma once

#include <gtest/gtest.h>

#include "support/UnixShell.h"

// For a set-up that a test cannot do without (a small drive, a link). Under Wine the suite runs
// as root, where every such set-up can be made: one that fails there is a fault of the machine
// or of the helper, and fails the test with its reason rather than silently dropping what the
// test covers. Elsewhere the platform may not allow it (no right to create links, no drive
// mounting): the test is skipped, and says so.
#define ASSERT_SET_UP_MADE(bMade, reason)                                                        \
    do {                                                                                         \
        if (!(bMade)) {                                                                          \
            if (IsRunningUnderWine()) FAIL() << "the set-up could not be made: " << (reason);   \
            GTEST_SKIP() << "this platform cannot make the set-up: " << (reason);               \
        }                                                                                        \
    } while (false)
