// An empty 32-bit console program, the reference for the tool's start-up under
// Wine: it prints what a kind-1 run prints and ends. Built twice: importing
// nothing beyond the C runtime and kernel32, and (VANTREL_EMPTY_IMPORTS) also
// importing what every run of the tool needs, shell32 for CommandLineToArgvW
// and user32.
#include <windows.h>

#include <cstdio>
#ifdef VANTREL_EMPTY_IMPORTS
#include <shellapi.h>
#endif

int main() {
#ifdef VANTREL_EMPTY_IMPORTS
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) return 1;
    LocalFree(args);
    // Never true: user32 is imported, not used.
    if (count > 1000) MessageBoxW(nullptr, L"", L"", MB_OK);
#endif
    std::fputs("{\"log\":[],\"Msg\":\"Sucesso\"}", stdout);
    return 0;
}
