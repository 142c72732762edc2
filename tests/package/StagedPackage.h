#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fileops/FileOpEngine.h"
#include "fileops/HeldFolder.h"
#include "package/DriverExtraction.h"
#include "package/StepFailure.h"
#include "package_fixture/PackageFixture.h"
#include "support/FileUtil.h"
#include "support/TempFolder.h"

// A fixture package in a fresh folder and a staged copy of its "Windows" and "Others" folders,
// made the way the run stages it. The preparation steps work on the staged copy only, so every
// test ends by checking that the package root is byte for byte what it was.
template <class Base>
class StagedPackageTest : public Base {
protected:
    void StagePackage(const PackageSpec& spec) {
        WritePackage(m_root, spec);
        m_rootDigest = TreeDigest(m_root);
        MakeFolders(m_staging);
        ASSERT_TRUE(m_engine.Copy(m_root + L"\\Windows", m_staging)) << Narrow(m_engine.GetLastErrorText());
        if (spec.bOthers) {
            ASSERT_TRUE(m_engine.Copy(m_root + L"\\Others", m_staging)) << Narrow(m_engine.GetLastErrorText());
        }
    }

    void TearDown() override {
        if (!m_rootDigest.empty()) {
            EXPECT_EQ(TreeDigest(m_root), m_rootDigest) << "the package root changed";
        }
    }

    // The drivers laid out from the staged copy, read through its held folder as the run does.
    int Extract(const std::wstring& extraction, bool bUsbPackage) {
        const FileHandle staging = HoldFolder(m_staging);
        EXPECT_TRUE(staging.IsValid());
        return ExtractDrivers(staging.Get(), m_staging, extraction, bUsbPackage, m_engine, m_failure);
    }

    std::wstring Staged(const std::wstring& relative) const { return m_staging + L"\\" + relative; }
    std::wstring InRoot(const std::wstring& relative) const { return m_root + L"\\" + relative; }

    TempFolder m_temp;
    const std::wstring m_root = m_temp / L"pkg";
    const std::wstring m_staging = m_temp / L"stage";
    CFileOpEngine m_engine{true};  // unattended: a read-only question must never wait for a user
    StepFailure m_failure;

private:
    std::string m_rootDigest;
};

using StagedPackage = StagedPackageTest<::testing::Test>;
