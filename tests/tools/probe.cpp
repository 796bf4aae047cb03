// A tiny Windows program the end-to-end tests run beside movrek.exe to look at what a person
// would see: top-level windows by class, their geometry, styles, texts and child controls,
// the items of an open popup menu. It can also post a message to a window.
//
//   probe windows CLASS        JSON array of the top-level windows of that class
//   probe menu                 JSON array of the items of the open popup menu, if any
//   probe top                  JSON array of every top-level window: class, text, pid, rect
//   probe showmenu X Y ITEM...  opens a popup menu of its own at X,Y ("-" is a separator) and
//                              returns when it closes: a reference rendering, since Wine cannot
//                              read another process's menu items
//   probe text HWND            the window's text as a JSON string (cheap: no children)
//   probe focus                JSON object: the foreground window, and the active and focused
//                              windows of its thread
//   probe acc HWND...          JSON array: what a screen reader reads of each window's client
//                              object through AccessibleObjectFromWindow across processes:
//                              name, role, state and default action ("hr" when it failed)
//   probe events HWND MS [N]   prints "hooked" once it listens, then after MS milliseconds (or
//                              once it has heard N) a JSON array of the object events
//                              (EVENT_OBJECT_*) of the window's client object, as a reader's
//                              hook hears them
//   probe post HWND MSG WPARAM LPARAM
//   probe send HWND MSG WPARAM LPARAM   (prints the result)
//   probe hold PATH            opens the file sharing nothing with anyone, prints "held", and
//                              keeps it so until its standard input ends: another program
//                              that has the user's file open
//   probe serve                answers commands read from its standard input, one a line, the
//                              arguments separated by tabs, each followed by a line holding
//                              U+001E and the command's exit code, until the input ends: the
//                              tests' many queries without starting a Wine process for each
//                              (hold, events, showmenu and acc are not taken there)
//   probe resources HWND       JSON object: what the process owning that window holds. On
//                              Windows the GDI and USER figures are GetGuiResources'. Wine 8
//                              only stubs it (0), so there they are counted from outside:
//                              "gdi" is the live entries of the process's GDI handle table
//                              (the PEB's GdiSharedHandleTable, read with ReadProcessMemory;
//                              stock objects included, "gdi_types" splits them by kind), and
//                              "user" is the process's windows (top-level, child and
//                              message-only). Menus, icons and cursors live in a table Wine
//                              keeps private, so under Wine they are not in "user".
//                              "handles" is GetProcessHandleCount, which Wine stubs too: there
//                              it is the process's entries in the system's handle list.
//                              "working_set" and "private" (PagefileUsage; under Wine the
//                              resident anonymous memory) are GetProcessMemoryInfo's, in bytes.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), s.data(), n, nullptr, nullptr);
    return s;
}

std::string Json(const std::wstring& w) {
    std::string s = Utf8(w), out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') { out += '\\'; out += (char)c; }
        else if (c < 0x20) { char b[8]; std::snprintf(b, sizeof b, "\\u%04x", c); out += b; }
        else out += (char)c;
    }
    return out + "\"";
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

std::wstring TextOf(HWND h) {
    // WM_GETTEXT crosses processes; GetWindowTextW would not for controls.
    wchar_t buf[1024] = {};
    DWORD_PTR res = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, 1024, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, &res);
    return buf;
}

std::string RectJson(const RECT& r) {
    char b[128];
    std::snprintf(b, sizeof b, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return b;
}

std::string Describe(HWND h, bool top);

BOOL CALLBACK CollectChild(HWND h, LPARAM lp) {
    auto* v = reinterpret_cast<std::vector<HWND>*>(lp);
    v->push_back(h);
    return TRUE;
}

std::string ComboJson(HWND h) {
    DWORD_PTR sel = 0, count = 0;
    SendMessageTimeoutW(h, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &sel);
    SendMessageTimeoutW(h, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
    std::string s = ",\"cursel\":" + std::to_string((long)(LRESULT)sel) +
                    ",\"count\":" + std::to_string((long)(LRESULT)count) + ",\"items\":[";
    for (long i = 0; i < (long)(LRESULT)count; ++i) {
        wchar_t buf[512] = {};
        DWORD_PTR len = 0;
        SendMessageTimeoutW(h, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &len);
        if ((LRESULT)len >= 0 && (LRESULT)len < 511)
            SendMessageTimeoutW(h, CB_GETLBTEXT, i, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, &len);
        if (i) s += ",";
        s += Json(buf);
    }
    return s + "]";
}

std::string Describe(HWND h, bool top) {
    RECT wr{}, cr{};
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char head[512];
    std::snprintf(head, sizeof head,
                  "{\"hwnd\":%llu,\"pid\":%lu,\"id\":%ld,\"style\":%lu,\"exstyle\":%lu,\"visible\":%s,"
                  "\"client\":[%ld,%ld]",
                  (unsigned long long)(UINT_PTR)h, pid, (long)GetDlgCtrlID(h),
                  (unsigned long)GetWindowLongW(h, GWL_STYLE),
                  (unsigned long)GetWindowLongW(h, GWL_EXSTYLE),
                  IsWindowVisible(h) ? "true" : "false", cr.right, cr.bottom);
    std::wstring cls = ClassOf(h);
    std::string s = head;
    s += ",\"class\":" + Json(cls) + ",\"text\":" + Json(TextOf(h)) + ",\"rect\":" + RectJson(wr);
    if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) s += ComboJson(h);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        DWORD_PTR st = 0;
        SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &st);
        s += ",\"checked\":" + std::to_string((long)(LRESULT)st);
    }
    if (top) {
        s += ",\"topmost\":";
        s += (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) ? "true" : "false";
    }
    std::vector<HWND> kids;
    EnumChildWindows(h, CollectChild, (LPARAM)&kids);
    s += ",\"children\":[";
    bool first = true;
    for (HWND k : kids) {
        if (GetParent(k) != h) continue;  // direct children here; deeper ones nest
        if (!first) s += ",";
        first = false;
        s += Describe(k, false);
    }
    return s + "]}";
}

struct Find {
    std::wstring cls;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<Find*>(lp);
    if (ClassOf(h) == f->cls) f->found.push_back(h);
    return TRUE;
}

int Windows(const wchar_t* cls) {
    Find f{cls, {}};
    EnumWindows(CollectTop, (LPARAM)&f);
    std::string out = "[";
    for (size_t i = 0; i < f.found.size(); ++i) {
        if (i) out += ",";
        out += Describe(f.found[i], true);
    }
    out += "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Menu() {
    Find f{L"#32768", {}};
    EnumWindows(CollectTop, (LPARAM)&f);
    std::string out = "[";
    bool firstMenu = true;
    for (HWND h : f.found) {
        if (!IsWindowVisible(h)) continue;
        DWORD_PTR res = 0;
        SendMessageTimeoutW(h, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 2000, &res);
        HMENU m = (HMENU)res;
        if (!m) continue;
        if (!firstMenu) out += ",";
        firstMenu = false;
        RECT r{};
        GetWindowRect(h, &r);
        out += "{\"hwnd\":" + std::to_string((unsigned long long)(UINT_PTR)h) + ",\"rect\":" + RectJson(r) + ",\"items\":[";
        int n = GetMenuItemCount(m);
        for (int i = 0; i < n; ++i) {
            wchar_t buf[256] = {};
            MENUITEMINFOW mi{};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_ID | MIIM_STATE;
            mi.dwTypeData = buf;
            mi.cch = 255;
            GetMenuItemInfoW(m, i, TRUE, &mi);
            RECT ir{};
            GetMenuItemRect(nullptr, m, i, &ir);
            if (i) out += ",";
            out += "{\"id\":" + std::to_string(mi.wID) + ",\"text\":" + Json(buf) +
                   ",\"separator\":" + ((mi.fType & MFT_SEPARATOR) ? "true" : "false") +
                   ",\"rect\":" + RectJson(ir) + "}";
        }
        out += "]}";
    }
    out += "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

BOOL CALLBACK CollectAll(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

int Top() {
    std::vector<HWND> all;
    EnumWindows(CollectAll, (LPARAM)&all);
    std::string out = "[";
    for (size_t i = 0; i < all.size(); ++i) {
        HWND h = all[i];
        RECT r{};
        GetWindowRect(h, &r);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        char head[160];
        std::snprintf(head, sizeof head, "{\"hwnd\":%llu,\"pid\":%lu,\"visible\":%s,\"exstyle\":%lu,",
                      (unsigned long long)(UINT_PTR)h, pid, IsWindowVisible(h) ? "true" : "false",
                      (unsigned long)GetWindowLongW(h, GWL_EXSTYLE));
        if (i) out += ",";
        out += head;
        out += "\"class\":" + Json(ClassOf(h)) + ",\"text\":" + Json(TextOf(h)) + ",\"rect\":" + RectJson(r) + "}";
    }
    out += "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int ShowMenu(int x, int y, int count, wchar_t** items) {
    HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"probe", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HMENU m = CreatePopupMenu();
    for (int i = 0; i < count; ++i) {
        if (wcscmp(items[i], L"-") == 0) AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        else AppendMenuW(m, MF_STRING, 100 + i, items[i]);
    }
    ShowWindow(owner, SW_SHOWNA);
    SetForegroundWindow(owner);
    TrackPopupMenu(m, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
    DestroyMenu(m);
    DestroyWindow(owner);
    return 0;
}

// One entry of the GDI handle table, laid out as Wine and 64-bit Windows share it.
struct GdiEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;  // low 7 bits: extended type; bit 7: stock object; high byte: generation
    UCHAR type;     // 0 marks a free entry
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(GdiEntry) == 24, "GDI handle table entry");

constexpr size_t kGdiEntries = 0x10000;
constexpr size_t kPebGdiTable = 0xF8;  // PEB.GdiSharedHandleTable on x64

struct GdiCount {
    bool ok = false;
    long live = 0, stock = 0, dc = 0, region = 0, bitmap = 0, palette = 0, font = 0, brush = 0,
         other = 0;
};

// Counts the live entries of another process's GDI handle table. Wine gives each process a
// table of its own and never shrinks its used part, so reading stops at the first block of
// entries that were never used.
GdiCount CountGdi(HANDLE process) {
    GdiCount c;
    struct Basic {
        LONG_PTR exitStatus;
        UINT_PTR peb, affinity;
        LONG_PTR priority;
        UINT_PTR pid, parent;
    } basic{};
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query || query(process, 0 /* ProcessBasicInformation */, &basic, sizeof basic, nullptr) < 0)
        return c;
    UINT_PTR table = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, (const void*)(basic.peb + kPebGdiTable), &table, sizeof table, &got) ||
        !table)
        return c;
    std::vector<GdiEntry> block(4096);
    for (size_t first = 0; first < kGdiEntries; first += block.size()) {
        if (!ReadProcessMemory(process, (const void*)(table + first * sizeof(GdiEntry)), block.data(),
                               block.size() * sizeof(GdiEntry), &got))
            return c;
        bool used = false;
        for (const GdiEntry& e : block) {
            if (e.object || e.unique) used = true;
            if (!e.type) continue;
            ++c.live;
            if (e.unique & 0x80) ++c.stock;
            switch (e.type) {
                case 0x01: ++c.dc; break;
                case 0x04: ++c.region; break;
                case 0x05: case 0x09: ++c.bitmap; break;
                case 0x08: ++c.palette; break;
                case 0x0a: ++c.font; break;
                case 0x10: ++c.brush; break;  // pens too
                default: ++c.other; break;
            }
        }
        if (!used) break;
    }
    c.ok = true;
    return c;
}

// Counts a process's kernel handles in the system's handle list (Wine's GetProcessHandleCount
// is a stub that answers 0).
long CountHandles(DWORD pid) {
    struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
        void* object;
        ULONG_PTR pid, value;
        ULONG access;
        USHORT trace, type;
        ULONG attributes, reserved;
    };
    struct List {
        ULONG_PTR count, reserved;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<char> buf(1 << 20);
    for (int tries = 0; tries < 8; ++tries) {
        ULONG need = 0;
        const LONG st = query(64 /* SystemExtendedHandleInformation */, buf.data(), (ULONG)buf.size(), &need);
        if (st == (LONG)0xC0000004L) {  // STATUS_INFO_LENGTH_MISMATCH: the list grew
            buf.resize(std::max<size_t>(buf.size() * 2, need + 65536));
            continue;
        }
        if (st < 0) return -1;
        const auto* list = reinterpret_cast<const List*>(buf.data());
        long n = 0;
        for (ULONG_PTR i = 0; i < list->count; ++i)
            if (list->entries[i].pid == pid) ++n;
        return n;
    }
    return -1;
}

struct OwnWindows {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lp) {
    ++reinterpret_cast<OwnWindows*>(lp)->count;
    return TRUE;
}

void CountTree(HWND h, OwnWindows& w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != w.pid) return;
    ++w.count;
    EnumChildWindows(h, CountChild, (LPARAM)&w);  // every descendant
}

BOOL CALLBACK CountTop(HWND h, LPARAM lp) {
    CountTree(h, *reinterpret_cast<OwnWindows*>(lp));
    return TRUE;
}

long CountWindows(DWORD pid) {
    OwnWindows w{pid, 0};
    EnumWindows(CountTop, (LPARAM)&w);
    // Message-only windows are not top-level windows to EnumWindows.
    for (HWND h = nullptr; (h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) != nullptr;)
        CountTree(h, w);
    return w.count;
}

int Resources(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
    if (!process) {
        std::fprintf(stderr, "probe: no process for window %llu\n", (unsigned long long)(UINT_PTR)h);
        return 1;
    }
    DWORD counted = 0;
    GetProcessHandleCount(process, &counted);
    const long handles = counted ? (long)counted : CountHandles(pid);
    PROCESS_MEMORY_COUNTERS mem{};
    mem.cb = sizeof mem;
    K32GetProcessMemoryInfo(process, &mem, sizeof mem);
    const DWORD guiGdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD guiUser = GetGuiResources(process, GR_USEROBJECTS);
    GdiCount g;
    if (!guiGdi) g = CountGdi(process);
    CloseHandle(process);
    const long windowsOwned = CountWindows(pid);

    char out[768];
    std::snprintf(out, sizeof out,
                  "{\"pid\":%lu,\"handles\":%ld,\"handles_from\":\"%s\",\"gdi\":%ld,"
                  "\"gdi_from\":\"%s\",\"user\":%ld,\"user_from\":\"%s\",\"windows\":%ld,"
                  "\"gdi_types\":{\"stock\":%ld,\"dc\":%ld,\"region\":%ld,\"bitmap\":%ld,"
                  "\"palette\":%ld,\"font\":%ld,\"brush\":%ld,\"other\":%ld},"
                  "\"working_set\":%llu,\"private\":%llu}\n",
                  pid, handles, counted ? "GetProcessHandleCount" : "system handle list",
                  guiGdi ? (long)guiGdi : (g.ok ? g.live : -1L),
                  guiGdi ? "GetGuiResources" : (g.ok ? "handle table" : "none"),
                  guiUser ? (long)guiUser : windowsOwned, guiUser ? "GetGuiResources" : "windows",
                  windowsOwned, g.stock, g.dc, g.region, g.bitmap, g.palette, g.font, g.brush, g.other,
                  (unsigned long long)mem.WorkingSetSize, (unsigned long long)mem.PagefileUsage);
    std::fwrite(out, 1, std::strlen(out), stdout);
    return 0;
}

int Focus() {
    HWND fg = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (fg) GetGUIThreadInfo(GetWindowThreadProcessId(fg, nullptr), &info);
    std::printf("{\"foreground\":%llu,\"active\":%llu,\"focus\":%llu}\n",
                (unsigned long long)(UINT_PTR)fg, (unsigned long long)(UINT_PTR)info.hwndActive,
                (unsigned long long)(UINT_PTR)info.hwndFocus);
    return 0;
}

int Hold(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open: %lu\n", GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buf[64];
    DWORD n = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &n, nullptr) && n > 0) {
    }
    CloseHandle(file);
    return 0;
}

// Across processes, as a reader would. oleacc, oleaut32 and ole32 are loaded here, so the
// tool links nothing more than its other commands need. IAccessible's identifier is spelt out:
// MinGW-w64's import library carries a wrong one.
int Acc(int count, wchar_t** hwnds) {
    static const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    HMODULE ole32 = LoadLibraryW(L"ole32.dll"), oleacc = LoadLibraryW(L"oleacc.dll"),
            oleaut = LoadLibraryW(L"oleaut32.dll");
    auto coInit = reinterpret_cast<HRESULT(WINAPI*)(void*)>(reinterpret_cast<void*>(GetProcAddress(ole32, "CoInitialize")));
    auto fromWindow = reinterpret_cast<HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(oleacc, "AccessibleObjectFromWindow")));
    auto freeString = reinterpret_cast<void(WINAPI*)(BSTR)>(reinterpret_cast<void*>(GetProcAddress(oleaut, "SysFreeString")));
    if (!coInit || !fromWindow || !freeString) {
        std::fprintf(stderr, "no oleacc\n");
        return 1;
    }
    coInit(nullptr);
    auto text = [&](HRESULT hr, BSTR b) {
        std::wstring t = SUCCEEDED(hr) && b ? std::wstring(b) : std::wstring();
        if (b) freeString(b);
        return Json(t);
    };
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        HWND h = (HWND)(UINT_PTR)_wcstoui64(hwnds[i], nullptr, 0);
        char head[64];
        std::snprintf(head, sizeof head, "%s{\"hwnd\": %llu", i ? ", " : "", (unsigned long long)(UINT_PTR)h);
        out += head;
        IAccessible* acc = nullptr;
        const HRESULT hr = fromWindow(h, (DWORD)OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&acc));
        if (FAILED(hr) || !acc) {
            std::snprintf(head, sizeof head, ", \"hr\": %ld}", (long)hr);
            out += head;
            continue;
        }
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR b = nullptr;
        HRESULT r = acc->get_accName(self, &b);
        out += ", \"name\": " + text(r, b);
        b = nullptr;
        r = acc->get_accDefaultAction(self, &b);
        out += ", \"action\": " + text(r, b);
        VARIANT v{};
        long role = 0, state = 0;
        if (SUCCEEDED(acc->get_accRole(self, &v)) && v.vt == VT_I4) role = v.lVal;
        v.vt = VT_EMPTY;
        if (SUCCEEDED(acc->get_accState(self, &v)) && v.vt == VT_I4) state = v.lVal;
        std::snprintf(head, sizeof head, ", \"role\": %ld, \"state\": %ld}", role, state);
        out += head;
        acc->Release();
    }
    out += "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// The events a reader's out-of-context hook hears of one window's client object.
std::vector<DWORD>* g_heard = nullptr;
HWND g_watched = nullptr;

void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND h, LONG object, LONG child, DWORD, DWORD) {
    if (g_heard && h == g_watched && object == OBJID_CLIENT && child == CHILDID_SELF) g_heard->push_back(event);
}

int Events(HWND h, DWORD ms, size_t enough) {
    std::vector<DWORD> heard;
    g_heard = &heard;
    g_watched = h;
    // Every process, filtered by window here: Wine 8 delivers nothing to a hook that names
    // the process it listens to.
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_VALUECHANGE, nullptr, Heard, 0, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook) {
        std::fprintf(stderr, "no hook\n");
        return 1;
    }
    std::printf("hooked\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + ms;
    for (DWORD now = GetTickCount(); (LONG)(end - now) > 0 && heard.size() < enough; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    UnhookWinEvent(hook);
    std::string out = "[";
    for (size_t i = 0; i < heard.size(); ++i) {
        char b[32];
        std::snprintf(b, sizeof b, "%s%lu", i ? ", " : "", heard[i]);
        out += b;
    }
    out += "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Command(int argc, wchar_t** argv) {
    if (argc >= 3 && wcscmp(argv[1], L"windows") == 0) return Windows(argv[2]);
    if (argc >= 2 && wcscmp(argv[1], L"menu") == 0) return Menu();
    if (argc >= 2 && wcscmp(argv[1], L"top") == 0) return Top();
    if (argc >= 2 && wcscmp(argv[1], L"focus") == 0) return Focus();
    if (argc >= 3 && wcscmp(argv[1], L"text") == 0) {
        const std::string out = Json(TextOf((HWND)(UINT_PTR)_wcstoui64(argv[2], nullptr, 0))) + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    if (argc >= 3 && wcscmp(argv[1], L"hold") == 0) return Hold(argv[2]);
    if (argc >= 3 && wcscmp(argv[1], L"acc") == 0) return Acc(argc - 2, argv + 2);
    if (argc >= 4 && wcscmp(argv[1], L"events") == 0)
        return Events((HWND)(UINT_PTR)_wcstoui64(argv[2], nullptr, 0), (DWORD)wcstoul(argv[3], nullptr, 0),
                      argc >= 5 ? (size_t)wcstoul(argv[4], nullptr, 0) : (size_t)-1);
    if (argc >= 3 && wcscmp(argv[1], L"resources") == 0)
        return Resources((HWND)(UINT_PTR)_wcstoui64(argv[2], nullptr, 0));
    if (argc >= 4 && wcscmp(argv[1], L"showmenu") == 0)
        return ShowMenu(_wtoi(argv[2]), _wtoi(argv[3]), argc - 4, argv + 4);
    if (argc >= 6 && (wcscmp(argv[1], L"post") == 0 || wcscmp(argv[1], L"send") == 0)) {
        HWND h = (HWND)(UINT_PTR)_wcstoui64(argv[2], nullptr, 0);
        UINT msg = (UINT)wcstoul(argv[3], nullptr, 0);
        WPARAM wp = (WPARAM)_wcstoui64(argv[4], nullptr, 0);
        LPARAM lp = (LPARAM)_wcstoi64(argv[5], nullptr, 0);
        if (wcscmp(argv[1], L"post") == 0) return PostMessageW(h, msg, wp, lp) ? 0 : 1;
        DWORD_PTR res = 0;
        if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 10000, &res)) return 1;
        std::printf("%lld\n", (long long)(LRESULT)res);
        return 0;
    }
    std::fprintf(stderr, "usage: probe serve | windows CLASS | menu | top | focus | text HWND | resources HWND | hold PATH | acc HWND... | events HWND MS [N] | showmenu X Y ITEM... | post|send HWND MSG WPARAM LPARAM\n");
    return 2;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), w.data(), n);
    return w;
}

// The long-running commands and the one that needs COM stay one process each.
bool Served(const std::wstring& command) {
    return command != L"hold" && command != L"events" && command != L"showmenu" && command != L"acc" &&
           command != L"serve";
}

int Serve() {
    std::string line;
    for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
        if (c != '\n') {
            line += (char)c;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::wstring> args{L"probe"};
        for (size_t from = 0;;) {
            const size_t tab = line.find('\t', from);
            args.push_back(Wide(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from)));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        line.clear();
        std::vector<wchar_t*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = Served(args[1]) ? Command((int)args.size(), argv.data()) : 2;
        std::printf("\x1e%d\n", rc);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && wcscmp(argv[1], L"serve") == 0) return Serve();
    return Command(argc, argv);
}
