#include <gtest/gtest.h>

#include "run/ResultCodes.h"
#include "run/RunUpdate.h"

namespace {
bool NotAdmin() { return false; }
int NoBox(const wchar_t*, const wchar_t*, unsigned) { ADD_FAILURE() << "no box expected"; return 0; }
int NoLaunch(wchar_t*) { ADD_FAILURE() << "no launch expected"; return -1; }
}  // namespace

TEST(RunUpdateGate, NonAdministratorGets1603) {
    RunPlatform platform = {&NotAdmin, &NoBox, &NoLaunch};
    wchar_t program[] = L"NicUpdate.exe";
    wchar_t usage[] = L"/?";
    wchar_t* argv[] = {program, usage, nullptr};
    EXPECT_EQ(RunUpdate(2, argv, platform), kExitFailure);
}
