#pragma once
// Answers the next standard message box that this process shows, from a thread of its own, as
// a user would: the caller's thread is inside the box's modal loop meanwhile.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

class MessageBoxAnswer {
public:
    // `button` is the command id to press (IDYES, IDNO, ...).
    explicit MessageBoxAnswer(int button);
    ~MessageBoxAnswer();
    MessageBoxAnswer(const MessageBoxAnswer&) = delete;
    MessageBoxAnswer& operator=(const MessageBoxAnswer&) = delete;

    // After the box was answered (or the wait given up): the text it showed, "" if none came.
    std::wstring Text();

private:
    void Run(int button);
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::wstring text_;
};
