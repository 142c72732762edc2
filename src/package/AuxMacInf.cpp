#include "package/AuxMacInf.h"

#include <windows.h>

#include "fileops/FileOpEngine.h"
#include "fileops/PathKind.h"
#include "package/PackageLayout.h"
#include "package/StepFailure.h"

namespace {

const wchar_t kStep[] = L"choose the INF of each pair";

// Only a name that is not there at all: anything else (a refused look, say) may still be
// found by the installer.
bool IsAbsent(const std::wstring& path) { return ProbePath(path) == PathMissing; }

}  // namespace

SelectionResult SelectAuxMacInf(const std::wstring& stagingFolder, bool bEnableAuxMac, CFileOpEngine& engine,
                                StepFailure& failure) {
    // All activations come before the first deactivation; a rename never replaces a file.
    // Whether a failed rename matters is read from what it left: the names the installer sees.
    SelectionResult result = SelectionResult::Made;
    for (const InfPairFolder& folder : kInfPairFolders) {
        const std::wstring strChosen = InfPairFolderPath(stagingFolder, folder) +
                                       (bEnableAuxMac ? folder.pszBaseName : AuxMacInfName(folder));
        const std::wstring strInactive = strChosen + kInactiveInfSuffix;
        if (engine.Rename(strInactive, strChosen + kActiveInfSuffix)) continue;
        if (!IsAbsent(strChosen + kActiveInfSuffix)) continue;  // already active
        if (!IsAbsent(strInactive)) {
            failure.Set(kStep, strInactive, engine.GetLastErrorCause());
            return SelectionResult::Failed;
        }
        result = SelectionResult::NotInPackage;
    }
    for (const InfPairFolder& folder : kInfPairFolders) {
        const std::wstring strOther = InfPairFolderPath(stagingFolder, folder) +
                                      (bEnableAuxMac ? AuxMacInfName(folder) : folder.pszBaseName);
        const std::wstring strActive = strOther + kActiveInfSuffix;
        // An inactive name already taken leaves the other INF active: the installer would
        // find both.
        if (!engine.Rename(strActive, strOther + kInactiveInfSuffix) && !IsAbsent(strActive)) {
            failure.Set(kStep, strActive, engine.GetLastErrorCause());
            return SelectionResult::Failed;
        }
    }
    return result;
}
