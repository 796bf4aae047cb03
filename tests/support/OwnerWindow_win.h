// A hidden top-level window: the sound device's owner for its cooperative level and the
// notifier's target.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "sound/TalkNotify.h"

namespace movrek::test {

class OwnerWindow {
public:
    OwnerWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MovrekTestOwner";
        RegisterClassW(&wc);  // fails harmlessly once the class exists
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, wc.hInstance, nullptr);
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Get() const { return hwnd_; }

    // Collects the TalkNotify first parameters that arrive within the time limit, returning
    // early once `enough` have come.
    std::vector<WPARAM> Notifications(std::chrono::milliseconds limit, size_t enough = SIZE_MAX) {
        std::vector<WPARAM> got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == hwnd_ && msg.message == kTalkNotify) {
                    EXPECT_EQ(msg.lParam, 0);
                    got.push_back(msg.wParam);
                } else {
                    DispatchMessageW(&msg);
                }
            }
            const auto now = std::chrono::steady_clock::now();
            if (got.size() >= enough || now >= deadline) return got;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left) + 1, QS_ALLINPUT);
        }
    }

    // The notifier posts one message per stopped clip; a long run must not fill the queue.
    void Drain() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace movrek::test
