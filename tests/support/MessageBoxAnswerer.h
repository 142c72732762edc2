#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Answers message boxes from a background thread, so that a test can run code that asks the
// user and still never hang. It watches the top-level dialog windows (class "#32770") of this
// process and of the processes it started, found by their process among all windows (never by
// caption alone: a box of anyone else is none of this test's business), answers the expected boxes (the given caption) in
// the order of the answer list, and presses Cancel (then No, then OK) on every other box,
// which it records as unexpected. An answerer with an empty list checks that no box appears.
// Where no window can be made (no display), it fails the test at once: an unseen box returns
// unanswered, and a check that no box appeared would pass for nothing.
class MessageBoxAnswerer {
public:
    enum class Answer { Yes, No, Cancel };

    struct Box {
        std::wstring caption;
        std::wstring text;
        DWORD dwProcessId;
        bool bExpected;  // answered from the list; false: an unexpected box, dismissed
    };

    explicit MessageBoxAnswerer(std::vector<Answer> answers, std::wstring caption = L"Warning");
    ~MessageBoxAnswerer();  // stops watching
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Waits until every answer of the list was given; false when the time ran out first.
    bool WaitAllAnswered(DWORD dwTimeoutMs = 10000);
    // Stops watching; the boxes seen so far stay readable.
    void Stop();

    std::vector<Box> Boxes() const;           // every box seen, in order
    std::vector<std::wstring> Texts() const;  // the texts of every box seen, in order
    std::size_t AnsweredCount() const;        // expected boxes answered
    std::size_t UnexpectedCount() const;      // boxes dismissed because nobody expected them
    // A readable list of the unexpected boxes, for failure messages.
    std::string DescribeUnexpected() const;

private:
    void Watch();
    void Dismiss(HWND hBox);

    const std::vector<Answer> m_answers;
    const std::wstring m_caption;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Box> m_boxes;
    std::size_t m_nAnswered = 0;
    bool m_bStop = false;
    std::set<HWND> m_stuck;  // boxes that would not close; watcher thread only

    std::thread m_watcher;  // last: starts once everything above is ready
};

// A visible message box (class "#32770") that this process or a process it started (at any depth)
// shows, with this caption (empty: any caption) and none of the boxes in skip; null when there is
// none. Found by the window's process among all top-level windows.
HWND FindBoxOfThisTest(const std::wstring& caption, const std::set<HWND>& skip = {});
// Polls FindBoxOfThisTest(caption) until a box shows; null when the time ran out first.
HWND WaitForBoxOfThisTest(const std::wstring& caption, DWORD dwTimeoutMs);
