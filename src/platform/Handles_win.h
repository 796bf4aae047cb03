// Move-only owners of Win32 handles: one template, with one traits type per kind saying how
// that kind is released. Copying is deleted; a handle that is not owned stays a raw one.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <utility>

namespace movrek {

// Traits: static void Free(H) releases a handle; an optional static bool Invalid(H) names a
// failure value other than the null one, which is then kept as none.
template <typename H, typename Traits>
class Unique {
public:
    Unique() = default;
    explicit Unique(H h) : h_(Adopt(h)) {}
    ~Unique() { Reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, H{})) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = std::exchange(o.h_, H{});
        }
        return *this;
    }
    H Get() const { return h_; }
    explicit operator bool() const { return h_ != H{}; }
    H Release() { return std::exchange(h_, H{}); }
    void Reset(H h = H{}) {
        if (h_ != H{}) Traits::Free(h_);
        h_ = Adopt(h);
    }

private:
    static H Adopt(H h) {
        if constexpr (requires(H x) { Traits::Invalid(x); }) {
            if (Traits::Invalid(h)) return H{};
        }
        return h;
    }
    H h_{};
};

struct KernelTraits {
    static void Free(HANDLE h) { CloseHandle(h); }
    // CreateFileW fails with this value where the other creators give null.
    static bool Invalid(HANDLE h) { return h == INVALID_HANDLE_VALUE; }
};

struct FindTraits {
    static void Free(HANDLE h) { FindClose(h); }
    static bool Invalid(HANDLE h) { return h == INVALID_HANDLE_VALUE; }
};

// A RIFF reader opened over a file handle that has an owner of its own: closing the reader
// leaves that handle open (MMIO_FHOPEN), for its owner to close.
struct MmioOverFileTraits {
    static void Free(HMMIO h) { mmioClose(h, MMIO_FHOPEN); }
};

struct LibraryTraits {
    static void Free(HMODULE h) { FreeLibrary(h); }
};

using KernelHandle = Unique<HANDLE, KernelTraits>;  // event, thread, process, file
using FileSearch = Unique<HANDLE, FindTraits>;       // FindFirstFileW .. FindClose
using MmioOverFile = Unique<HMMIO, MmioOverFileTraits>;
using Library = Unique<HMODULE, LibraryTraits>;       // LoadLibraryExW .. FreeLibrary

// A library of the system folder, never one of the program's folder (usually Downloads); an
// empty holder when it cannot be loaded.
inline Library LoadSystemLibrary(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return Library();
    const std::wstring file = std::wstring(folder, n) + L"\\" + fileName;
    return Library(LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// A function of a loaded library as its own type, or nullptr.
template <class Fn>
Fn LibraryFunction(const Library& library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), name)));
}

// One reference to a COM interface, released once; a released holder is empty.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Releases what is held and hands out the slot for a call that returns a new reference.
    T** Put() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

private:
    T* p_ = nullptr;
};

}  // namespace movrek
