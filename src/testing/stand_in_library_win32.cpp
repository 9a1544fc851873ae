// A stand-in for a DLL that a program may look for beside itself (built as
// winhttp.dll and as fbclient.dll). It exports nothing; when a process loads
// it, it writes a marker file: its own path with ".loaded" added, holding the
// path (UTF-16) of the program that loaded it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        WCHAR marker[MAX_PATH + 16];
        DWORD n = GetModuleFileNameW(instance, marker, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            lstrcpyW(marker + n, L".loaded");
            HANDLE file = CreateFileW(marker, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                WCHAR program[MAX_PATH];
                DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
                DWORD written = 0;
                WriteFile(file, program, length * sizeof(WCHAR), &written, nullptr);
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}
