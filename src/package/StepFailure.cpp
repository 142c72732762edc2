#include "package/StepFailure.h"

#include "fileops/FileOpEngine.h"

void SetEngineFailure(StepFailure& failure, const wchar_t* pszStep, const CFileOpEngine& engine) {
    if (engine.GetLastErrorCause() != 0) {
        failure.Set(pszStep, engine.GetLastErrorPath(), engine.GetLastErrorCause());
        return;
    }
    std::wstring finding = engine.GetLastErrorText();
    while (!finding.empty() && (finding.back() == L'\n' || finding.back() == L'\r')) finding.pop_back();
    failure.SetFinding(pszStep, engine.GetLastErrorPath(), finding);
}
