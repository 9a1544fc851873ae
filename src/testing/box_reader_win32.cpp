// A test helper that reads a message box of another process on the desktop and,
// when asked, presses its OK button: the end-to-end tests see the tool's error
// box through the real windowing system.
//
//   box_reader CAPTION describe [MS]   waits up to MS milliseconds (default 60000)
//                                      for a top-level dialog titled CAPTION and
//                                      prints it, leaving it open
//   box_reader CAPTION press [MS]      waits the same way, presses OK and waits
//                                      until the box is gone
//
// "describe" prints, UTF-8, one field a line, with backslash, CR and LF written
// as \\, \r and \n:
//   caption=...    the window's title
//   text=...       the message (the dialog's static text control)
//   buttons=...    the buttons' texts in order, joined by "," ("&" removed)
//   icon=...       stop, exclamation, information, question, none or unknown
// Exit code 0, or 2 when no such box appeared in time, 3 when it did not close.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/windows_text_win32.h"

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::wstring WindowText(HWND window) {
    // Through WM_GETTEXT, which the system carries across processes.
    wchar_t buffer[8192];
    LRESULT n =
        SendMessageW(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer, static_cast<std::size_t>(n));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256];
    int n = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(n > 0 ? n : 0));
}

struct Search {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770" && WindowText(window) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindBox(const std::wstring& caption, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        Search search{caption};
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (GetTickCount64() > end) return nullptr;
        Sleep(50);
    }
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        out.push_back(child);
    return out;
}

bool IsIconControl(HWND control) {
    return ClassOf(control) == L"Static" && (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// The pixels of a screen rectangle, 32 bits each.
std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    std::vector<DWORD> out(pixels,
                           pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    for (auto& p : out) p &= 0x00FFFFFF;
    return out;
}

// `icon` drawn over `background`, the way the box's icon control draws it.
std::vector<DWORD> Render(HICON icon, DWORD background, int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush =
        CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    std::vector<DWORD> out = Capture(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

// Which of the system's message-box icons the control shows: its pixels on the
// screen against each icon drawn the same way; the closest one, when close.
std::string IconOf(HWND box) {
    HWND control = nullptr;
    for (HWND child : Children(box))
        if (IsIconControl(child)) control = child;
    if (control == nullptr) return "none";
    struct Candidate {
        LPCWSTR id;
        const char* name;
    } candidates[] = {{IDI_HAND, "stop"},
                      {IDI_EXCLAMATION, "exclamation"},
                      {IDI_ASTERISK, "information"},
                      {IDI_QUESTION, "question"}};
    std::string best = "unknown";
    // The box may still be painting: a few tries.
    for (int attempt = 0; attempt < 20 && best == "unknown"; ++attempt) {
        Sleep(100);
        RECT rect;
        GetWindowRect(control, &rect);
        const int width = rect.right - rect.left, height = rect.bottom - rect.top;
        if (width <= 0 || height <= 0) continue;
        HDC screen = GetDC(nullptr);
        std::vector<DWORD> shown = Capture(screen, rect.left, rect.top, width, height);
        ReleaseDC(nullptr, screen);
        std::size_t fewest = shown.size();
        for (const Candidate& candidate : candidates) {
            std::vector<DWORD> drawn = Render(LoadIconW(nullptr, candidate.id), shown[0], width, height);
            std::size_t differ = 0;
            for (std::size_t i = 0; i < shown.size(); ++i) differ += shown[i] != drawn[i];
            if (differ < fewest) {
                fewest = differ;
                if (differ * 20 < shown.size()) best = candidate.name;
            }
        }
    }
    return best;
}

HWND OkButton(HWND box) {
    HWND button = GetDlgItem(box, IDOK);
    if (button != nullptr && ClassOf(button) == L"Button") return button;
    return nullptr;
}

void Describe(HWND box) {
    std::string buttons;
    for (HWND child : Children(box)) {
        if (ClassOf(child) != L"Button" || !IsWindowVisible(child)) continue;
        std::wstring label = WindowText(child);
        std::wstring plain;
        for (wchar_t c : label)
            if (c != L'&') plain += c;
        if (!buttons.empty()) buttons += ',';
        buttons += vantrel::testing::Narrow(plain);
    }
    HWND text = GetDlgItem(box, 0xFFFF);  // the message's static control
    std::string out = "caption=" + Escaped(vantrel::testing::Narrow(WindowText(box))) + "\n";
    out += "text=" + Escaped(text != nullptr ? vantrel::testing::Narrow(WindowText(text)) : std::string()) +
           "\n";
    out += "buttons=" + buttons + "\n";
    out += "icon=" + IconOf(box) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3) {
        std::fputs("usage: box_reader CAPTION describe|press [MS]\n", stderr);
        return 1;
    }
    const std::wstring caption = argv[1], action = argv[2];
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 60000;
    HWND box = FindBox(caption, timeout);
    if (box == nullptr) {
        std::fputs("no box appeared\n", stderr);
        return 2;
    }
    if (action == L"describe") {
        Describe(box);
        return 0;
    }
    HWND ok = OkButton(box);
    if (ok == nullptr) {
        std::fputs("the box has no OK button\n", stderr);
        return 1;
    }
    SendMessageW(ok, BM_CLICK, 0, 0);
    const ULONGLONG end = GetTickCount64() + timeout;
    bool commanded = false;
    while (IsWindow(box)) {
        // A click that the button did not take (it saw no press of its own):
        // the command the click gives, sent to the box.
        if (!commanded && GetTickCount64() + timeout > end + 2000) {
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
            commanded = true;
        }
        if (GetTickCount64() > end) {
            std::fputs("the box did not close\n", stderr);
            return 3;
        }
        Sleep(20);
    }
    return 0;
}
