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
//   probe post HWND MSG WPARAM LPARAM
//   probe send HWND MSG WPARAM LPARAM   (prints the result)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && wcscmp(argv[1], L"windows") == 0) return Windows(argv[2]);
    if (argc >= 2 && wcscmp(argv[1], L"menu") == 0) return Menu();
    if (argc >= 2 && wcscmp(argv[1], L"top") == 0) return Top();
    if (argc >= 3 && wcscmp(argv[1], L"text") == 0) {
        const std::string out = Json(TextOf((HWND)(UINT_PTR)_wcstoui64(argv[2], nullptr, 0))) + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
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
    std::fprintf(stderr, "usage: probe windows CLASS | menu | top | text HWND | showmenu X Y ITEM... | post|send HWND MSG WPARAM LPARAM\n");
    return 2;
}
