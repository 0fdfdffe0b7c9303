// clipboard_text.exe: prints the Windows clipboard's text as UTF-8, so that
// a script can read what the window copied (under Wine, through the X
// session's clipboard). Exit: 0 text printed, 1 no text on the clipboard.
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

int main()
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (!OpenClipboard(nullptr))
        return 1;
    int rc = 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
            std::fputs(utf8.c_str(), stdout);
            GlobalUnlock(data);
            rc = 0;
        }
    }
    CloseClipboard();
    return rc;
}
