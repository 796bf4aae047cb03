#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/UserMessages.h"

namespace {

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        wchar_t text[256] = {};
        GetWindowTextW(child, text, 256);
        *reinterpret_cast<std::wstring*>(param) += text;
    }
    return TRUE;
}

// The box is modal: a second thread finds it by its caption, reads it and presses OK.
TEST(PlatformMessagesWin, ShowsAnOkBoxCaptionedWithTheProgramNameOverItsOwner) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    movrek::SetMessageOwner(owner);

    std::wstring seenText;
    HWND seenOwner = nullptr;
    std::atomic<bool> found{false};
    std::thread closer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            HWND box = FindWindowW(L"#32770", L"Movrek");
            if (box != nullptr) {
                EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seenText));
                seenOwner = GetWindow(box, GW_OWNER);
                found = true;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return;
            }
            std::this_thread::yield();
        }
    });
    movrek::PlatformMessages().ShowMessage(u"音声ファイルが見つかりません！");
    closer.join();
    movrek::SetMessageOwner(nullptr);
    DestroyWindow(owner);

    ASSERT_TRUE(found);
    EXPECT_NE(seenText.find(L"音声ファイルが見つかりません！"), std::wstring::npos);
    EXPECT_EQ(seenOwner, owner);
}

}  // namespace
