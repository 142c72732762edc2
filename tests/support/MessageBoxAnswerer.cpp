#include "support/MessageBoxAnswerer.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <chrono>
#include <utility>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"

namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(20);  // a box waits for the answer about half of it
constexpr DWORD kCloseWaitMs = 2000;
constexpr int kMaxParentHops = 8;

std::wstring WindowText(HWND hWnd) {
    wchar_t szText[1024] = {};
    GetWindowTextW(hWnd, szText, 1024);
    return szText;
}

std::wstring BoxText(HWND hBox) {
    wchar_t szText[4096] = {};
    GetDlgItemTextW(hBox, 0xFFFF, szText, 4096);  // the message box's static text control
    return szText;
}

WPARAM CommandOf(MessageBoxAnswerer::Answer answer) {
    switch (answer) {
    case MessageBoxAnswerer::Answer::Yes: return IDYES;
    case MessageBoxAnswerer::Answer::No: return IDNO;
    case MessageBoxAnswerer::Answer::Cancel: break;
    }
    return IDCANCEL;
}

// Waits until the box is gone; false when it is still there after the wait.
bool WaitClosed(HWND hBox) {
    const DWORD dwStart = GetTickCount();
    while (IsWindow(hBox) && IsWindowVisible(hBox)) {
        if (GetTickCount() - dwStart > kCloseWaitMs) return false;
        Sleep(20);
    }
    return true;
}

// Without a display Wine makes no window at all, and MessageBoxW returns at once without an
// answer: a test of a question would take the unanswered path and might still pass. A hidden
// window tells within milliseconds.
bool CanMakeWindows() {
    HWND hWnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (hWnd == nullptr) return false;
    DestroyWindow(hWnd);
    return true;
}

DWORD ParentProcessId(DWORD dwProcessId) {
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // fails as INVALID_HANDLE_VALUE
    if (!snapshot) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = Process32FirstW(snapshot.Get(), &entry); bMore; bMore = Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ProcessID == dwProcessId) return entry.th32ParentProcessID;
    return 0;
}

// Whether the process is this one or one it started, following the parents up a few steps.
bool IsOfThisTest(DWORD dwProcessId) {
    const DWORD dwOwnProcessId = GetCurrentProcessId();
    for (int nHop = 0; nHop <= kMaxParentHops && dwProcessId != 0; ++nHop) {
        if (dwProcessId == dwOwnProcessId) return true;
        dwProcessId = ParentProcessId(dwProcessId);
    }
    return false;
}

struct BoxSearch {
    const std::wstring* pCaption;
    const std::set<HWND>* pSkip;
    HWND hFound;
};

// EnumWindows callback of FindBoxOfThisTest (a plain function: the callback has the stdcall convention).
BOOL CALLBACK OfferWindow(HWND hWnd, LPARAM lParam) {
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(lParam);
    wchar_t szClass[16] = {};
    if (GetClassNameW(hWnd, szClass, 16) == 0 || std::wstring(szClass) != L"#32770") return TRUE;
    if (!IsWindowVisible(hWnd) || search.pSkip->count(hWnd) != 0) return TRUE;
    if (!search.pCaption->empty() && WindowText(hWnd) != *search.pCaption) return TRUE;
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (!IsOfThisTest(dwProcessId)) return TRUE;
    search.hFound = hWnd;
    return FALSE;
}
}  // namespace

HWND FindBoxOfThisTest(const std::wstring& caption, const std::set<HWND>& skip) {
    BoxSearch search = {&caption, &skip, nullptr};
    EnumWindows(&OfferWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND WaitForBoxOfThisTest(const std::wstring& caption, DWORD dwTimeoutMs) {
    const DWORD dwStart = GetTickCount();
    for (;;) {
        if (HWND hBox = FindBoxOfThisTest(caption)) return hBox;
        if (GetTickCount() - dwStart > dwTimeoutMs) return nullptr;
        Sleep(20);
    }
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<Answer> answers, std::wstring caption)
    : m_answers(std::move(answers)),
      m_caption(std::move(caption)),
      m_watcher(&MessageBoxAnswerer::Watch, this) {
    static const bool s_bWindows = CanMakeWindows();
    if (!s_bWindows)
        ADD_FAILURE() << "No display: this process cannot make a window, so a message box would return at once "
                         "unanswered and unseen. Run the tests through scripts/test, which starts Xvfb, or set DISPLAY.";
}

MessageBoxAnswerer::~MessageBoxAnswerer() { Stop(); }

void MessageBoxAnswerer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    if (m_watcher.joinable()) m_watcher.join();
}

bool MessageBoxAnswerer::WaitAllAnswered(DWORD dwTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(dwTimeoutMs),
                              [this] { return m_nAnswered == m_answers.size(); });
}

std::vector<MessageBoxAnswerer::Box> MessageBoxAnswerer::Boxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::wstring> texts;
    for (const Box& box : m_boxes) texts.push_back(box.text);
    return texts;
}

std::size_t MessageBoxAnswerer::AnsweredCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nAnswered;
}

std::size_t MessageBoxAnswerer::UnexpectedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes.size() - m_nAnswered;
}

std::string MessageBoxAnswerer::DescribeUnexpected() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string description;
    for (const Box& box : m_boxes)
        if (!box.bExpected) description += "[" + Narrow(box.caption) + "] " + Narrow(box.text) + "\n";
    return description;
}

void MessageBoxAnswerer::Watch() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_changed.wait_for(lock, kPollInterval, [this] { return m_bStop; })) return;
        }
        HWND hBox = FindBoxOfThisTest(L"", m_stuck);
        if (hBox == nullptr) continue;

        Box box = {WindowText(hBox), BoxText(hBox), 0, false};
        GetWindowThreadProcessId(hBox, &box.dwProcessId);
        WPARAM command = IDCANCEL;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            box.bExpected = (box.caption == m_caption && m_nAnswered < m_answers.size());
            if (box.bExpected) command = CommandOf(m_answers[m_nAnswered++]);
            m_boxes.push_back(box);
        }
        m_changed.notify_all();

        if (box.bExpected) {
            PostMessageW(hBox, WM_COMMAND, command, 0);
            if (!WaitClosed(hBox)) Dismiss(hBox);
        } else {
            Dismiss(hBox);
        }
    }
}

// Closes a box nobody expected, whatever its buttons: Cancel, else No, else OK.
void MessageBoxAnswerer::Dismiss(HWND hBox) {
    for (WPARAM command : {IDCANCEL, IDNO, IDOK}) {
        PostMessageW(hBox, WM_COMMAND, command, 0);
        if (WaitClosed(hBox)) return;
    }
    m_stuck.insert(hBox);
}
