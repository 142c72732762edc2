#include "run/RunEvent.h"

unsigned long MessageIdFor(const RunEvent& event) {
    // The message compiler puts the severity in the top two bits: 01 informational, 11 error.
    const unsigned long dwSeverity = event.bError ? 0xC0000000ul : 0x40000000ul;
    return dwSeverity | event.wEventId;
}
