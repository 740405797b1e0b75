/* The least a clipboard copier of standard input does: read up to 8 KB, hand it to the
   clipboard as CF_TEXT. No dialog, no checks beyond what keeps it from crashing. The bench
   times tamsel.exe against it. */
#include <windows.h>

int main(void) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8193);
    char* text = (char*)GlobalLock(block);
    DWORD total = 0, got;
    while (total < 8192 && ReadFile(input, text + total, 8192 - total, &got, NULL) && got)
        total += got;
    GlobalUnlock(block);
    if (!OpenClipboard(NULL)) return 1;
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    return 0;
}
