// One base class for the program's own windows. The static window procedure finds the C++
// object through GWLP_USERDATA (set from lpCreateParams at WM_NCCREATE, cleared at
// WM_NCDESTROY) and forwards to OnMessage; no exception crosses it.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace movrek::ui {

struct WindowArgs {
    const wchar_t* className = nullptr;
    const wchar_t* text = L"";
    DWORD style = 0;
    DWORD exStyle = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;
    int id = 0;              // child windows: control id
    UINT classStyle = 0;     // used when the class is registered on first use
    HICON icon = nullptr;    // the class icon, top-level windows only
};

class PeriodicTimer;

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }
    // True from creation until the platform window is gone.
    bool Alive() const { return hwnd_ != nullptr; }

    // Labels on this window draw their text in the given colour over BackgroundBrush().
    void SetChildTextColor(HWND child, COLORREF color);

protected:
    bool CreateWindowFrom(const WindowArgs& args);
    virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }
    // The brush labels on this window are erased with; nullptr: the platform's default.
    virtual HBRUSH BackgroundBrush() { return nullptr; }

private:
    friend class PeriodicTimer;
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    bool OnTimer(UINT_PTR id);
    LRESULT OnCtlColorStatic(HDC dc, HWND child);

    HWND hwnd_ = nullptr;
    std::vector<PeriodicTimer*> timers_;
    std::vector<std::pair<HWND, COLORREF>> textColors_;
};

// A message-driven periodic timer: SetTimer on its owner window, dispatched by id on the
// owner's thread. Stopping it (or destroying it) guarantees no further call.
class PeriodicTimer {
public:
    PeriodicTimer(Window& owner, UINT_PTR id, std::function<void()> onTick);
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    void Start(UINT intervalMs);
    void Stop();
    bool Running() const { return running_; }
    UINT_PTR Id() const { return id_; }

private:
    friend class Window;
    Window& owner_;
    UINT_PTR id_;
    std::function<void()> onTick_;
    bool running_ = false;
};

// Shows what escaped a handler in the program's standard exception box.
void ShowException(std::exception_ptr e) noexcept;

}  // namespace movrek::ui
