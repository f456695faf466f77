// Holds Wine's desktop open while the tests run. Wine closes the desktop a moment after the last program
// on it has ended, and a test program that starts just then may never get one: it hangs before its first
// window or after its last. With this program on the desktop from first to last test, none of that happens.
// A message-only window, which never shows, keeps it there; "ready" on standard output says it is.
#include <windows.h>

int main()
{
    if (!CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr))
        return 1;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
