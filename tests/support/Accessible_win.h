// Reads what a screen reader reads of a window, in-process, through the same entry a reader
// uses (AccessibleObjectFromWindow with OBJID_CLIENT), and records the events readers hear.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "ui/Accessible_win.h"

namespace movrek::test {

struct AccReading {
    HRESULT hr = E_FAIL;  // of AccessibleObjectFromWindow
    std::wstring name, value, action;
    long role = 0, state = 0;
};

inline VARIANT SelfId() {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

inline std::wstring Take(BSTR b) {
    std::wstring s = b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    SysFreeString(b);
    return s;
}

// The window's client object, with a reference the caller releases; nullptr on failure.
inline IAccessible* ClientObject(HWND h, HRESULT* hr = nullptr) {
    CoInitialize(nullptr);  // balanced by nobody: the test thread keeps COM to the end
    IAccessible* acc = nullptr;
    const HRESULT r = AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT), ui::kIidAccessible,
                                                 reinterpret_cast<void**>(&acc));
    if (hr) *hr = r;
    return SUCCEEDED(r) ? acc : nullptr;
}

inline AccReading ReadAccessible(HWND h) {
    AccReading r;
    IAccessible* acc = ClientObject(h, &r.hr);
    if (!acc) return r;
    const VARIANT self = SelfId();
    BSTR b = nullptr;
    if (SUCCEEDED(acc->get_accName(self, &b))) r.name = Take(b);
    b = nullptr;
    if (SUCCEEDED(acc->get_accValue(self, &b))) r.value = Take(b);
    b = nullptr;
    if (SUCCEEDED(acc->get_accDefaultAction(self, &b))) r.action = Take(b);
    VARIANT v{};
    if (SUCCEEDED(acc->get_accRole(self, &v)) && v.vt == VT_I4) r.role = v.lVal;
    v.vt = VT_EMPTY;
    if (SUCCEEDED(acc->get_accState(self, &v)) && v.vt == VT_I4) r.state = v.lVal;
    acc->Release();
    return r;
}

// Object events of one window's client object, as an out-of-context hook receives them: the
// hook runs when this thread takes messages (Pump).
class WinEventLog {
public:
    explicit WinEventLog(HWND watched) {
        watched_ = watched;
        log_ = &events;
        hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_VALUECHANGE, nullptr, &WinEventLog::Hook,
                                GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~WinEventLog() {
        if (hook_) UnhookWinEvent(hook_);
        log_ = nullptr;
    }
    WinEventLog(const WinEventLog&) = delete;
    WinEventLog& operator=(const WinEventLog&) = delete;
    bool Hooked() const { return hook_ != nullptr; }

    // Lets queued messages and events run.
    void Pump() {
        MSG msg;
        for (int round = 0; round < 3; ++round) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
    size_t Count(DWORD event) const {
        size_t n = 0;
        for (DWORD e : events) n += e == event;
        return n;
    }

    std::vector<DWORD> events;  // of the watched window's client object itself

private:
    static void CALLBACK Hook(HWINEVENTHOOK, DWORD event, HWND h, LONG object, LONG child, DWORD, DWORD) {
        if (log_ && h == watched_ && object == OBJID_CLIENT && child == CHILDID_SELF) log_->push_back(event);
    }
    // A hook procedure has no context pointer: one log at a time.
    static inline HWND watched_ = nullptr;
    static inline std::vector<DWORD>* log_ = nullptr;
    HWINEVENTHOOK hook_ = nullptr;
};

}  // namespace movrek::test
