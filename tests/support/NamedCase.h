#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// A row of a table of test cases. Its name stands for the row wherever a test is named: in the
// test's full name (Suite.Test/Name, the same in every build, so ctest -R and --rerun-failed
// keep working) and in failure messages, instead of a dump of the row's bytes. A case struct
// derives from it and gives the name first:
//   struct CopyCase : NamedCase { const wchar_t* pszSource; };
//   CopyCase{"MissingSource", L"absent.txt"}
struct NamedCase {
    const char* pszName;
};

// Found through the base class, so every derived case prints as its name.
inline std::ostream& operator<<(std::ostream& os, const NamedCase& c) { return os << c.pszName; }

// The name generator for INSTANTIATE_TEST_SUITE_P over rows derived from NamedCase.
struct CaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return static_cast<const NamedCase&>(info.param).pszName;
    }
};
