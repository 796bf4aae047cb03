#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/UserMessages.h"
#include "ui/Window.h"

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

// The boxes are modal: a second thread finds the box by its caption, reads it and presses OK.
class BoxCloser {
public:
    BoxCloser()
        : thread_([this] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (std::chrono::steady_clock::now() < deadline) {
                  // Read once shown: the box gets its styles while it is being set up.
                  HWND box = FindWindowW(L"#32770", L"Movrek");
                  if (box != nullptr && IsWindowVisible(box)) {
                      EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
                      owner = GetWindow(box, GW_OWNER);
                      exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
                      found = true;
                      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                      return;
                  }
                  std::this_thread::yield();
              }
          }) {}
    ~BoxCloser() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    std::wstring text;
    HWND owner = nullptr;
    LONG_PTR exStyle = 0;
    std::atomic<bool> found{false};

private:
    std::thread thread_;
};

TEST(PlatformMessagesWin, ShowsAnOkBoxCaptionedWithTheProgramNameOverItsOwner) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    movrek::SetMessageOwner(owner);

    BoxCloser closer;
    movrek::PlatformMessages().ShowMessage(u"音声ファイルが見つかりません！");
    closer.Join();
    movrek::SetMessageOwner(nullptr);
    DestroyWindow(owner);

    ASSERT_TRUE(closer.found);
    EXPECT_NE(closer.text.find(L"音声ファイルが見つかりません！"), std::wstring::npos);
    EXPECT_EQ(closer.owner, owner);
}

// A window whose handler throws, beside a stay-on-top panel like the main window.
class ThrowingWindow : public movrek::ui::Window {
public:
    static constexpr UINT kThrow = WM_APP + 7;
    bool Create() {
        movrek::ui::WindowArgs a;
        a.className = L"MovrekTestThrowing";
        a.style = WS_POPUP | WS_VISIBLE;
        a.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
        a.left = 40;
        a.top = 40;
        a.width = 200;
        a.height = 60;
        return CreateWindowFrom(a);
    }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == kThrow) throw std::runtime_error("設定ファイルを書き込めません");
        return Window::OnMessage(msg, wp, lp);
    }
};

// What escapes a handler stops at the window procedure and opens the exception box, which
// must come up over the stay-on-top panel: it has no owner, and while it is open every window
// of the program is disabled.
TEST(PlatformMessagesWin, AnExceptionInAHandlerOpensATopmostBoxWithItsText) {
    ThrowingWindow panel;
    ASSERT_TRUE(panel.Create());

    BoxCloser closer;
    EXPECT_EQ(SendMessageW(panel.Handle(), ThrowingWindow::kThrow, 0, 0), 0);
    closer.Join();

    ASSERT_TRUE(closer.found);
    EXPECT_NE(closer.text.find(L"設定ファイルを書き込めません"), std::wstring::npos);
    EXPECT_EQ(closer.owner, nullptr);
    // Wine 8 ignores MB_TOPMOST (only MB_SYSTEMMODAL makes its boxes topmost); Windows
    // creates the box with WS_EX_TOPMOST.
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (!wine) EXPECT_NE(closer.exStyle & WS_EX_TOPMOST, 0) << std::hex << closer.exStyle;
    else std::printf("under Wine the exception box is not made topmost (ex-style %llx)\n",
                     static_cast<unsigned long long>(closer.exStyle));
    EXPECT_TRUE(IsWindowEnabled(panel.Handle()));  // enabled again once the box is closed
}

}  // namespace
