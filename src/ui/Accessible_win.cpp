#include "ui/Accessible_win.h"

#include <commctrl.h>

#include <memory>
#include <new>
#include <utility>

#include "platform/Handles_win.h"
#include "platform/WinText_win.h"

namespace movrek::ui {

const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

namespace {

struct LoadedApi {
    AccessibilityApi api;
    bool usable = false;
};

LoadedApi LoadApi() {
    LoadedApi loaded;
    // Never freed: see Accessibility().
    Library oleacc = LoadSystemLibrary(L"oleacc.dll");
    Library oleaut = LoadSystemLibrary(L"oleaut32.dll");
    AccessibilityApi& a = loaded.api;
    a.lresultFromObject =
        LibraryFunction<decltype(a.lresultFromObject)>(oleacc, "LresultFromObject");
    a.createStdAccessibleObject =
        LibraryFunction<decltype(a.createStdAccessibleObject)>(oleacc, "CreateStdAccessibleObject");
    a.sysAllocStringLen = LibraryFunction<decltype(a.sysAllocStringLen)>(oleaut, "SysAllocStringLen");
    loaded.usable = a.lresultFromObject && a.createStdAccessibleObject && a.sysAllocStringLen;
    if (loaded.usable) {
        oleacc.Release();
        oleaut.Release();
        // The reference a reader is handed is marshalled, which needs COM on this thread.
        // Begun once and left begun: whoever else began it keeps its own count.
        CoInitialize(nullptr);
    }
    return loaded;
}

}  // namespace

const AccessibilityApi* Accessibility() {
    static const LoadedApi loaded = LoadApi();
    return loaded.usable ? &loaded.api : nullptr;
}

LRESULT AnswerGetObject(WPARAM wp, IAccessible* obj) {
    const AccessibilityApi* api = Accessibility();
    if (!api || !obj) return 0;
    const LRESULT r = api->lresultFromObject(kIidAccessible, wp, obj);
    return r > 0 ? r : 0;
}

BSTR MakeBstr(std::wstring_view text) {
    const AccessibilityApi* api = Accessibility();
    if (text.empty() || !api) return nullptr;
    return api->sysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

BSTR MakeBstr(std::u16string_view text) { return MakeBstr(std::wstring_view(Wide(text))); }

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_EMPTY || (child.vt == VT_I4 && child.lVal == CHILDID_SELF);
}

namespace {

// The standard object of a control with another name (and role): everything else is the
// standard object's answer.
class NamedProxy final : public AccessibleObject {
public:
    NamedProxy(HWND hwnd, IAccessible* inner, const ControlReading& reading)
        : hwnd_(hwnd), inner_(inner), reading_(reading) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // IEnumVARIANT, IOleWindow and the like: the standard object's own, which then
        // answers for the control as it would have without us.
        return inner_->QueryInterface(riid, out);
    }


    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child)) return inner_->get_accName(child, name);
        if (!name) return E_POINTER;
        if (!IsWindow(hwnd_)) return CO_E_OBJNOTCONNECTED;
        *name = reading_.nameFromText ? MakeBstr(WindowText(hwnd_)) : MakeBstr(reading_.name);
        return *name ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child) || reading_.role == 0) return inner_->get_accRole(child, role);
        if (!role) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = reading_.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* n) override { return inner_->get_accChildCount(n); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** p) override { return inner_->get_accChild(c, p); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return inner_->get_accValue(c, v); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* d) override {
        return inner_->get_accDescription(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override { return inner_->get_accState(c, s); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override { return inner_->get_accHelp(c, h); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, LONG* t) override {
        return inner_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
        return inner_->get_accKeyboardShortcut(c, k);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override { return inner_->get_accFocus(c); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override { return inner_->get_accSelection(c); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
        return inner_->get_accDefaultAction(c, a);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG f, VARIANT c) override { return inner_->accSelect(f, c); }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT c) override {
        return inner_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG d, VARIANT s, VARIANT* e) override {
        return inner_->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* c) override { return inner_->accHitTest(x, y, c); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return inner_->accDoDefaultAction(c); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return inner_->put_accName(c, n); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return inner_->put_accValue(c, v); }

private:
    ~NamedProxy() override { inner_->Release(); }

    HWND hwnd_;
    IAccessible* inner_;  // owned reference
    ControlReading reading_;
};

constexpr UINT_PTR kReadingSubclassId = 0x4D52;  // one per window, whatever else subclasses it
// Asks a control for the reading it holds (0 when it has none). A private message, answered
// here: window properties would cost two more trips to the window manager per control.
constexpr UINT kHeldReadingMessage = WM_APP + 0x52;

LRESULT CALLBACK ReadingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    auto* reading = reinterpret_cast<ControlReading*>(data);
    switch (msg) {
        case WM_GETOBJECT:
            if (AsksForClient(lp)) {
                const AccessibilityApi* api = Accessibility();
                IAccessible* standard = nullptr;
                if (api && SUCCEEDED(api->createStdAccessibleObject(hwnd, OBJID_CLIENT, kIidAccessible,
                                                                     reinterpret_cast<void**>(&standard))) &&
                    standard) {
                    auto* proxy = new (std::nothrow) NamedProxy(hwnd, standard, *reading);
                    if (!proxy) {
                        standard->Release();
                        break;
                    }
                    const LRESULT r = AnswerGetObject(wp, proxy);
                    proxy->Release();  // the answer holds its own reference
                    if (r) return r;
                }
            }
            break;
        case kHeldReadingMessage:
            return reinterpret_cast<LRESULT>(reading);
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ReadingProc, id);
            delete reading;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

bool SetControlReading(HWND control, ControlReading reading) {
    if (!control || !IsWindow(control)) return false;
    // A second reading replaces the first in place: the subclass stays as it is.
    if (auto* held = reinterpret_cast<ControlReading*>(SendMessageW(control, kHeldReadingMessage, 0, 0))) {
        *held = std::move(reading);
        return true;
    }
    auto fresh = std::make_unique<ControlReading>(std::move(reading));
    if (!SetWindowSubclass(control, ReadingProc, kReadingSubclassId,
                           reinterpret_cast<DWORD_PTR>(fresh.get())))
        return false;
    fresh.release();
    return true;
}

}  // namespace movrek::ui
