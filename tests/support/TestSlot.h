#pragma once

#include <string>

// The ctest slot this test program runs in ("slot0", "slot1", ...), from NICUPDATE_TEST_SLOT that
// the launcher sets; empty outside a slot. Tests of two slots run at once, each under a
// wineserver of its own that hands out the same process ids, so every name a test makes where
// the other slot may look (the Linux side's temporary files, the test folders whose paths mark
// a test's processes on the Linux side) carries the slot.
std::wstring TestSlot();
