#pragma once

#include <cstdint>

// True for the system error codes of a drive that has no room left.
bool IsOutOfSpace(std::uint32_t dwCode);
