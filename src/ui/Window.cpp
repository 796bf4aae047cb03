#include "ui/Window.h"

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>

#include "platform/Utf.h"
#include "platform/WinText_win.h"

namespace movrek::ui {

Window::~Window() {
    if (hwnd_) {
        // The object goes first: detach it so the last messages take the default path.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        HWND h = hwnd_;
        hwnd_ = nullptr;
        DestroyWindow(h);
    }
    for (PeriodicTimer* t : timers_) t->running_ = false;
}

bool Window::CreateWindowFrom(const WindowArgs& a) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(inst, a.className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = a.classStyle;
        wc.lpfnWndProc = &Window::Proc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = a.icon;
        wc.hIconSm = a.icon;
        wc.lpszClassName = a.className;
        if (!RegisterClassExW(&wc)) return false;
    }
    HMENU idOrMenu = (a.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(a.id)) : nullptr;
    HWND h = CreateWindowExW(a.exStyle, a.className, a.text, a.style, a.left, a.top, a.width,
                             a.height, a.parent, idOrMenu, inst, this);
    return h != nullptr;
}

void Window::SetChildTextColor(HWND child, COLORREF color) {
    for (auto& [h, c] : textColors_) {
        if (h == child) {
            c = color;
            InvalidateRect(child, nullptr, TRUE);
            return;
        }
    }
    textColors_.emplace_back(child, color);
    InvalidateRect(child, nullptr, TRUE);
}

LRESULT CALLBACK Window::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(h, msg, wp, lp);
    LRESULT result = 0;
    try {
        result = self->Dispatch(msg, wp, lp);
    } catch (...) {
        ShowException(std::current_exception());
        result = 0;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        for (PeriodicTimer* t : self->timers_) t->running_ = false;
        self->textColors_.clear();
    }
    return result;
}

LRESULT Window::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (OnTimer(static_cast<UINT_PTR>(wp))) return 0;
            break;
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        default:
            break;
    }
    return OnMessage(msg, wp, lp);
}

LRESULT Window::OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT Window::OnCtlColorStatic(HDC dc, HWND child) {
    for (const auto& [h, c] : textColors_) {
        if (h == child) {
            HBRUSH brush = BackgroundBrush();
            if (!brush) break;
            SetTextColor(dc, c);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(brush);
        }
    }
    HBRUSH brush = BackgroundBrush();
    if (brush) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(brush);
    }
    return Default(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
}

bool Window::OnTimer(UINT_PTR id) {
    for (PeriodicTimer* t : timers_) {
        if (t->id_ == id) {
            if (!t->running_) return true;  // a WM_TIMER already queued when it stopped
            // A copy: the handler may stop or destroy its own timer.
            std::function<void()> f = t->onTick_;
            if (f) f();
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- timers

PeriodicTimer::PeriodicTimer(Window& owner, UINT_PTR id, std::function<void()> onTick)
    : owner_(owner), id_(id), onTick_(std::move(onTick)) {
    owner_.timers_.push_back(this);
}

PeriodicTimer::~PeriodicTimer() {
    Stop();
    auto& v = owner_.timers_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void PeriodicTimer::Start(UINT intervalMs) {
    if (!owner_.Handle()) return;
    // SetTimer with an id already in use replaces its interval.
    running_ = SetTimer(owner_.Handle(), id_, intervalMs, nullptr) != 0;
}

void PeriodicTimer::Stop() {
    if (running_ && owner_.Handle()) KillTimer(owner_.Handle(), id_);
    running_ = false;
}

// ---------------------------------------------------------------- exceptions

void ShowException(std::exception_ptr e) noexcept {
    std::wstring text;
    try {
        std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
        text = L"メモリが不足しています。";
    } catch (const std::exception& ex) {
        try {
            text = Wide(FromUtf8(ex.what()));
        } catch (...) {
            // Out of memory for the text itself: the box still opens, empty.
        }
    } catch (...) {
        // Anything else is shown as an exception with an empty message.
    }
    try {
        // No owner, and every window of the thread disabled while it is open: without
        // topmost it can open behind the stay-on-top panel, and the program looks hung.
        MessageBoxW(nullptr, text.c_str(), L"Movrek",
                    MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
    } catch (...) {
    }
}

}  // namespace movrek::ui
