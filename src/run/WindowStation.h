#pragma once

// True when the process's window station is visible, so that a person can see and answer a
// window on it. SYSTEM's in session 0 is not, nor is any station a service or a test makes;
// when the question cannot be answered, nobody is taken to be there.
bool IsWindowStationVisible();
