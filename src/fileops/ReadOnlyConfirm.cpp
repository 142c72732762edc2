#include <windows.h>

#include "fileops/FExeption.h"
#include "fileops/FileOpEngine.h"
#include "fileops/HandleDelete.h"

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
        return ClearAttributesForDeletion(hFile);
    }
    case IDNO:
        return false;
    case IDCANCEL:
        m_bKeptItems = true;
        throw new CFExeption(std::uint32_t{0});
    default:  // the box could not be shown
        return true;
    }
}
