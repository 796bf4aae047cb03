// What screen readers (through MSAA, the interface every Windows reader speaks) learn about
// the program's controls. Standard controls keep the platform's own objects; a control that
// needs a better name answers WM_GETOBJECT with that object wrapped, changing only its name
// (and, where asked, its role). oleacc is loaded from the system folder when a reader first
// asks, so a program that no reader asks pays nothing for it.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <string>
#include <string_view>

namespace movrek::ui {

// IAccessible's identifier. MinGW-w64's import library carries a wrong value for it.
extern const IID kIidAccessible;

// The few functions of oleacc and oleaut32 the program calls.
struct AccessibilityApi {
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
    HRESULT(WINAPI* createStdAccessibleObject)(HWND, LONG, REFIID, void**) = nullptr;
    BSTR(WINAPI* sysAllocStringLen)(const OLECHAR*, UINT) = nullptr;
};

// Loaded on the first call and kept until the process ends: a reader's references call back
// into these libraries, also after our windows are gone. COM is begun on the calling thread
// as well, which the reference LresultFromObject makes needs. nullptr when the system lacks
// the libraries. GUI thread only.
const AccessibilityApi* Accessibility();

// True for WM_GETOBJECT's lParam naming the window's client object. The id arrives as a
// 32-bit value in a 64-bit lParam, so it is compared as one.
inline bool AsksForClient(LPARAM lp) {
    return static_cast<DWORD>(lp) == static_cast<DWORD>(OBJID_CLIENT);
}

// WM_GETOBJECT's answer for obj (which keeps its own reference), 0 when it cannot be given.
LRESULT AnswerGetObject(WPARAM wp, IAccessible* obj);

// A string a reader frees with SysFreeString; nullptr for an empty text or without oleaut32.
BSTR MakeBstr(std::u16string_view text);
BSTR MakeBstr(std::wstring_view text);

// True when a VARIANT child id names the object itself.
bool IsSelf(const VARIANT& child);

// What every accessible object of ours has alike: its reference count, and an IDispatch side
// that says it has no type information (readers call IAccessible directly).
class AccessibleObject : public IAccessible {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

protected:
    virtual ~AccessibleObject() = default;  // through Release only

private:
    LONG refs_ = 1;
};

// What a reader is told of a standard control instead of what its own object says.
struct ControlReading {
    std::u16string name;        // used unless nameFromText
    bool nameFromText = false;  // the name is the window's text at the moment it is asked
    long role = 0;              // a ROLE_SYSTEM_ value; 0 keeps the standard object's
};

// Gives a standard control (a list, a label) that reading for as long as the window lives;
// a second call replaces the first. False when the window cannot be subclassed.
bool SetControlReading(HWND control, ControlReading reading);

}  // namespace movrek::ui
