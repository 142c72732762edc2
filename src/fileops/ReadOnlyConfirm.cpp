#include <windows.h>

#include "fileops/FExeption.h"
#include "fileops/FileOpEngine.h"
#include "fileops/HandleDelete.h"

namespace {
// Why a read-only file stayed: the user's answer, which no Win32 error says.
const wchar_t kKeptByNo[] = L"kept: the answer to the read-only question was No";
const wchar_t kKeptByCancel[] = L"kept: the read-only question was cancelled, which stopped the delete";
}  // namespace

bool CFileOpEngine::ConfirmReadOnlyDelete(std::wstring path, void* hFile, std::uint32_t dwAttributes) {
    if (!(dwAttributes & FILE_ATTRIBUTE_READONLY)) return true;

    int nAnswer = IDYES;  // an unattended run deletes as if the user had said Yes
    if (!m_bUnattended) {
        std::wstring strQuestion = path;
        const std::size_t lastSlash = strQuestion.rfind(L'\\');
        if (lastSlash != std::wstring::npos) strQuestion.erase(0, lastSlash + 1);
        strQuestion += L" is read olny. Do you want delete it?";
        nAnswer = MessageBoxW(nullptr, strQuestion.c_str(), L"Warning", MB_YESNOCANCEL | MB_ICONQUESTION);
    }

    switch (nAnswer) {
    case IDYES: {
        // Through the handle the question was about: the path may name something else by now.
        if (ClearAttributesForDeletion(hFile)) return true;
        KeepFile(path, CFExeption(static_cast<std::uint32_t>(GetLastError())));
        return false;
    }
    case IDNO:
        KeepFile(path, CFExeption(std::wstring(kKeptByNo)));
        return false;
    case IDCANCEL:
        m_bKeptItems = true;
        throw new CFExeption(std::wstring(kKeptByCancel));
    default:  // the box could not be shown
        return true;
    }
}
