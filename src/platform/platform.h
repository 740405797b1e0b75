// Every operating-system operation Tamsel calls, under its Win32 name, with what it is given
// and what the caller relies on. On Windows these are the real imports of KERNEL32.DLL and
// USER32.DLL; the host tests link the same names against a fake.
#ifndef TAMSEL_PLATFORM_H
#define TAMSEL_PLATFORM_H

#if defined(_WIN32)
#define WINAPI __stdcall
#define WINAPIV __cdecl
#define TAMSEL_IMPORT __declspec(dllimport)
#else
#define WINAPI
#define WINAPIV
#define TAMSEL_IMPORT
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned short WCHAR;  // UTF-16, as on Windows
typedef unsigned int UINT;
typedef unsigned int DWORD;  // 32 bits on both Windows and the test host
typedef __SIZE_TYPE__ SIZE_T;
typedef DWORD LCID;
typedef void* HANDLE;
typedef HANDLE HGLOBAL;
typedef struct HWND__* HWND;

#define INVALID_HANDLE_VALUE ((HANDLE)(__INTPTR_TYPE__)-1)
#define STD_INPUT_HANDLE ((DWORD)-10)
#define STD_ERROR_HANDLE ((DWORD)-12)

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDCANCEL 2

#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GMEM_DDESHARE 0x2000u

#define ERROR_BROKEN_PIPE 109u         // a pipe whose writer has closed it: its end
#define ERROR_NO_DATA 232u             // a non-blocking pipe, empty for now: not its end
#define ERROR_PIPE_NOT_CONNECTED 233u  // a pipe whose other end has gone: its end too
#define ERROR_MORE_DATA 234u           // a message pipe's read that had room for part of it
#define ERROR_OPERATION_ABORTED 995u
#define STATUS_CONTROL_C_EXIT 0xC000013Au  // the exit code of a process ended by Ctrl+C

#define ENABLE_PROCESSED_INPUT 0x0001u  // Ctrl+C is a signal, and Enter ends a line with CR LF
#define ENABLE_LINE_INPUT 0x0002u       // a console read returns whole lines, typed up to Enter

#define WAIT_OBJECT_0 0u

#define FILE_TYPE_PIPE 3u  // an anonymous or named pipe; a file is FILE_TYPE_DISK, a console CHAR

#define CF_TEXT 1u
#define CF_OEMTEXT 7u
#define CF_UNICODETEXT 13u
#define CF_LOCALE 16u
#define CP_ACP 0u
#define CP_UTF8 65001u
#define CP_UTF16 1200u   // Windows' number for UTF-16LE, the text of CF_UNICODETEXT
#define CP_UTF32 12000u  // and for UTF-32LE
#define MAX_LEADBYTES 12

typedef struct CPINFO {
    UINT MaxCharSize;
    BYTE DefaultChar[2];
    BYTE LeadByte[MAX_LEADBYTES];  // pairs of first/last lead byte, ended by a 0,0 pair
} CPINFO;

extern "C" {

// ---- USER32.DLL ----

// Modal box with no owner when hWnd is null. For MB_OKCANCEL returns IDOK or IDCANCEL (closing
// the box is IDCANCEL); 0 or, under Wine without a display, -1 when it cannot be shown.
TAMSEL_IMPORT int WINAPI MessageBoxA(HWND hWnd, const char* text, const char* caption, UINT type);
// Formats into out (at most 1024 bytes, zero-terminated); only %d is used by Tamsel.
TAMSEL_IMPORT int WINAPIV wsprintfA(char* out, const char* format, ...);
// Nonzero when the clipboard was opened; fails while another window holds it open.
TAMSEL_IMPORT BOOL WINAPI OpenClipboard(HWND owner);
TAMSEL_IMPORT BOOL WINAPI EmptyClipboard(void);
// Returns the handle on success, from then on the block belongs to the system; null on failure.
TAMSEL_IMPORT HANDLE WINAPI SetClipboardData(UINT format, HANDLE data);
TAMSEL_IMPORT BOOL WINAPI CloseClipboard(void);

// ---- KERNEL32.DLL ----

// The standard handle, null when the process has none, INVALID_HANDLE_VALUE when unusable.
TAMSEL_IMPORT HANDLE WINAPI GetStdHandle(DWORD which);
// Nonzero on success with *done bytes stored; zero on failure. A file or a console ends with 0
// bytes stored, a pipe by failing with ERROR_BROKEN_PIPE. A pipe read that succeeds with 0 bytes
// comes, on Windows, from a message pipe's message of 0 bytes or from a pipe that Cygwin made;
// a byte pipe, as CreatePipe makes them for cmd, PowerShell and .NET, never hands its reader a
// write of 0 bytes. Under Wine a pipe from a Unix shell ends so. Never stores more than size
// bytes. A pipe in non-blocking mode fails with ERROR_NO_DATA while it is empty; a message
// pipe fails with ERROR_MORE_DATA when a message is longer than size, yet stores size bytes of
// it and keeps the rest for the next read. At a console since Windows 8, Ctrl+C or Ctrl+Break
// cutting the read short looks just like the end of input, hence ReadConsoleA there.
TAMSEL_IMPORT BOOL WINAPI ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* done,
                                   void* overlapped);
// Reads what was typed at the console, in its input code page, with no Ctrl+Z processing: a
// line starting with Ctrl+Z arrives as the byte 0x1A. When Ctrl+C or Ctrl+Break cut the read
// short, on every Windows, the last error is ERROR_OPERATION_ABORTED and *done 0 (or the call
// fails). In line-input mode a read takes a whole line from the console's input, and what does
// not fit stays for the next read, of whichever process. Console hosts before 2023 take no
// more of a line than the count asked (less room for CR LF) and drop the rest until Enter.
TAMSEL_IMPORT BOOL WINAPI ReadConsoleA(HANDLE input, void* buffer, DWORD size, DWORD* done,
                                       void* control);
// Discards every input event the console holds, not the rest of a line a read already took,
// nor what arrives afterwards: Windows Terminal hands a long paste over in pieces. Fails on a
// handle without write access, as cmd opens a redirected CON.
TAMSEL_IMPORT BOOL WINAPI FlushConsoleInputBuffer(HANDLE input);
// Takes up to length input events (INPUT_RECORD, 20 bytes each) from the console, waiting
// until there is one; read access is enough.
TAMSEL_IMPORT BOOL WINAPI ReadConsoleInputA(HANDLE input, void* records, DWORD length, DWORD* read);
// WAIT_OBJECT_0 once the object is signalled (a console input: it holds input events),
// WAIT_TIMEOUT when milliseconds passed first, WAIT_FAILED on failure.
TAMSEL_IMPORT DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
// The code page typed text arrives in; by default the OEM one.
TAMSEL_IMPORT UINT WINAPI GetConsoleCP(void);
// The system's OEM code page, what CF_OEMTEXT means (850 on a German Windows, 437 on a US one).
TAMSEL_IMPORT UINT WINAPI GetOEMCP(void);
// The system's ANSI code page, which the command line and most pipes are in; CP_UTF8 where
// Windows is set to use UTF-8 for worldwide language support.
TAMSEL_IMPORT UINT WINAPI GetACP(void);
// Converts the zero-terminated text (size -1) in codePage (CP_ACP: the ANSI one) to UTF-16, its
// zero included, writing at most wideSize characters. Returns the characters written, 0 on
// failure (a code page that Windows does not have among them).
TAMSEL_IMPORT int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int size,
                                             WCHAR* wide, int wideSize);
// The system's locale, whose ANSI and OEM code pages CF_TEXT and CF_OEMTEXT are in.
TAMSEL_IMPORT LCID WINAPI GetSystemDefaultLCID(void);
// The calling thread's last error code, as the last failing call (or SetLastError) left it.
TAMSEL_IMPORT DWORD WINAPI GetLastError(void);
TAMSEL_IMPORT void WINAPI SetLastError(DWORD error);
// FILE_TYPE_PIPE for either end of a pipe.
TAMSEL_IMPORT DWORD WINAPI GetFileType(HANDLE file);
// Nonzero while the pipe is there to read from, whether or not it holds bytes (buffer null, size
// 0: nothing taken). Fails with ERROR_BROKEN_PIPE once its writer has gone, and under Wine on a
// pipe from a Unix shell.
TAMSEL_IMPORT BOOL WINAPI PeekNamedPipe(HANDLE pipe, void* buffer, DWORD size, DWORD* read,
                                        DWORD* available, DWORD* left);
// The major version in the low byte, the minor one in the next (Windows XP: 5, 1); the high bit
// set on Windows 95, 98 and Me.
TAMSEL_IMPORT DWORD WINAPI GetVersion(void);
// Nonzero when handle is a console; *mode then holds its input or output mode.
TAMSEL_IMPORT BOOL WINAPI GetConsoleMode(HANDLE handle, DWORD* mode);
TAMSEL_IMPORT BOOL WINAPI WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* done,
                                    void* overlapped);
// A block of at least size bytes, all zero with GMEM_ZEROINIT; null on failure.
TAMSEL_IMPORT HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T size);
// The address of the block's first byte, or null.
TAMSEL_IMPORT void* WINAPI GlobalLock(HGLOBAL block);
TAMSEL_IMPORT BOOL WINAPI GlobalUnlock(HGLOBAL block);
// Appends source up to its first zero byte to the text at dest and zero-terminates it.
TAMSEL_IMPORT char* WINAPI lstrcatA(char* dest, const char* source);
TAMSEL_IMPORT void WINAPI Sleep(DWORD milliseconds);
// The whole command line, program name first. On Windows of the NT line Windows makes it once,
// at the start, of the Unicode one, by the ANSI code page's best-fit table: '?' for a character
// that code page lacks, a look-alike where the table has one (U+FF02 becomes a quote).
TAMSEL_IMPORT char* WINAPI GetCommandLineA(void);
// The command line as it was given, in UTF-16. Windows 95, 98 and Me have none of their own (98
// makes it of the ANSI one, 95's may be a stub).
TAMSEL_IMPORT WCHAR* WINAPI GetCommandLineW(void);
// Full path of the running program (module null); the length copied, 0 on failure.
TAMSEL_IMPORT DWORD WINAPI GetModuleFileNameA(HANDLE module, char* path, DWORD size);
// Loads a DLL (the version the exe's manifest names) for the rest of the run; null on failure.
TAMSEL_IMPORT HANDLE WINAPI LoadLibraryA(const char* name);
// Nonzero when info was filled for the code page (CP_ACP: the ANSI one).
TAMSEL_IMPORT BOOL WINAPI GetCPInfo(UINT codePage, CPINFO* info);
TAMSEL_IMPORT HANDLE WINAPI GetProcessHeap(void);
// Null on failure.
TAMSEL_IMPORT void* WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
// Null on failure, the old block then stays valid.
TAMSEL_IMPORT void* WINAPI HeapReAlloc(HANDLE heap, DWORD flags, void* block, SIZE_T size);
// Never returns.
TAMSEL_IMPORT __attribute__((noreturn)) void WINAPI ExitProcess(UINT exitCode);
}

// The byte length of a zero-terminated text: the C library's strlen, which tamsel.exe lacks.
inline DWORD TextLength(const char* text) {
    DWORD length = 0;
    while (text[length]) ++length;
    return length;
}

#endif
