#include <gtest/gtest.h>

#include <cwctype>

#include "invocation/WhiteSpace.h"

namespace {

// The fixed rule must say what the runtime's classification says, or a native build would split
// keyword text and profile words differently from the shipped program.
TEST(WhiteSpace, AgreesWithRuntimeClassificationForEveryCharacter) {
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const wchar_t ch = static_cast<wchar_t>(code);
        EXPECT_EQ(IsWhiteSpace(ch), std::iswspace(static_cast<wint_t>(code)) != 0) << "U+" << std::hex << code;
    }
}

}  // namespace
