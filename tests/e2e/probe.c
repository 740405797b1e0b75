/* The end-to-end suite's hands inside Wine: it finds and answers Tamsel's boxes, reads and sets
 * the clipboard, holds it open, and starts a program with an exact command line. Bytes travel
 * as hex on the probe's own command line and output, so nothing is re-quoted or re-encoded.
 *
 *   probe box ok|cancel|close|none TIMEOUT_MS [HOLD_MS]
 *                                    wait for the box captioned "Tamsel", print
 *                                    {"text":HEX,"buttons":[...],"icon":0|1,"rect":[l,t,r,b]}
 *                                    and answer it; exit 2 when no box came in time. With
 *                                    HOLD_MS, hold the clipboard open from just before the
 *                                    answer for that long, so Tamsel finds it busy
 *   probe clip-get                   print {"formats":[...],"text":HEX or null,
 *                                    "unicode":HEX of UTF-16LE or null}
 *   probe clip-set HEX               make HEX the CF_TEXT bytes, plus a private format
 *   probe launch [INPUT]             CreateProcessA with the command line read as raw bytes
 *                                    from standard input (it may be longer than the probe's
 *                                    own command line can be), inheriting the standard
 *                                    handles; with INPUT the program's standard input is the
 *                                    file INPUT opened for writing only, so that reads fail, no
 *                                    handle for "none", or a pipe that a thread fills with bytes
 *                                    1 + i % 255: "nowait" (PIPE_NOWAIT) 3000, an empty read,
 *                                    3000 more; "message" 10,000 in one; "unicode" inherits
 *                                    them and takes the line as UTF-8, for CreateProcessW;
 *                                    print "exit N", exit N
 *   probe console EXE ANSWER TIMEOUT_MS OPTIONS PASTE [LINE ...]
 *                                    start EXE in a console of its own and type there: PASTE
 *                                    while its box is up, then answer the box as `box` does
 *                                    (printing null for no box), then type each LINE once the
 *                                    input is empty (the pending read has taken all before it,
 *                                    or EXE flushed it). Text is hex of UTF-8, one key a
 *                                    character; CR is Enter, other control characters are Ctrl
 *                                    with a letter (03 Ctrl+C, 1a Ctrl+Z). Wait up to TIMEOUT_MS
 *                                    for EXE to end (else end it) and print {"exit":N,"ended":0|1,
 *                                    "events":N left,"next":HEX or null}. OPTIONS, letters or
 *                                    "-": p turns processed input off before the answer, a
 *                                    number sets the console's input code page (chcp); n types
 *                                    "next" Enter at the end and reads a line as the console's
 *                                    next reader (else "next" is null)
 */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define PRIVATE_FORMAT "TamselProbePrivate"

static void print_hex(const char* bytes, size_t length) {
    putchar('"');
    for (size_t i = 0; i < length; ++i) printf("%02x", (unsigned char)bytes[i]);
    putchar('"');
}

static size_t from_hex(const char* hex, char* out) {
    size_t n = 0;
    for (; hex[0] && hex[1]; hex += 2) {
        char pair[3] = {hex[0], hex[1], 0};
        out[n++] = (char)strtoul(pair, NULL, 16);
    }
    out[n] = 0;
    return n;
}

struct box_parts {
    char buttons[8][64];
    int button_count;
    int icon;
};

static BOOL CALLBACK note_child(HWND child, LPARAM data) {
    struct box_parts* parts = (struct box_parts*)data;
    char class_name[32];
    GetClassNameA(child, class_name, sizeof class_name);
    if (!_stricmp(class_name, "Button") && parts->button_count < 8) {
        GetWindowTextA(child, parts->buttons[parts->button_count++], 64);
    } else if (!_stricmp(class_name, "Static") && IsWindowVisible(child) &&
               (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        parts->icon = 1;
    }
    return TRUE;
}

static HWND clipboard_owner(void) {
    /* Under Wine two null-owner opens are not kept apart; a window of our own is. */
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

/* Wine's own clipboard export can hold the clipboard open for a moment after a change, the
 * longer the busier the machine: try for about a second, as Tamsel does. */
static BOOL open_clipboard(HWND owner) {
    for (int tries = 1; !OpenClipboard(owner); ++tries) {
        if (tries == 10) return FALSE;
        Sleep(100);
    }
    return TRUE;
}

static int box(const char* answer, int timeout_ms, int hold_ms) {
    HWND found = NULL;
    for (int waited = 0; !(found = FindWindowA("#32770", "Tamsel")); waited += 10) {
        if (waited >= timeout_ms) return 2;
        Sleep(10);
    }
    /* The box's controls are made before it is shown; wait until it is on screen. */
    for (int waited = 0; !IsWindowVisible(found) && waited < timeout_ms; waited += 10) Sleep(10);
    char text[1024];
    int length = GetDlgItemTextA(found, 0xFFFF, text, sizeof text);
    struct box_parts parts = {0};
    EnumChildWindows(found, note_child, (LPARAM)&parts);
    RECT rect;
    GetWindowRect(found, &rect);
    printf("{\"text\":");
    print_hex(text, (size_t)length);
    printf(",\"buttons\":[");
    for (int i = 0; i < parts.button_count; ++i) {
        printf("%s", i ? "," : "");
        print_hex(parts.buttons[i], strlen(parts.buttons[i]));
    }
    printf("],\"icon\":%d,\"rect\":[%ld,%ld,%ld,%ld]}\n", parts.icon, rect.left, rect.top,
           rect.right, rect.bottom);
    fflush(stdout);
    if (hold_ms > 0 && !open_clipboard(clipboard_owner())) return 1;
    if (!strcmp(answer, "ok")) PostMessageA(found, WM_COMMAND, IDOK, 0);
    if (!strcmp(answer, "cancel")) PostMessageA(found, WM_COMMAND, IDCANCEL, 0);
    if (!strcmp(answer, "close")) PostMessageA(found, WM_CLOSE, 0, 0);
    if (hold_ms > 0) {
        Sleep((DWORD)hold_ms);
        CloseClipboard();
    }
    return 0;
}

static int clip_get(void) {
    if (!open_clipboard(NULL)) return 1;
    printf("{\"formats\":[");
    UINT format = 0;
    for (int first = 1; (format = EnumClipboardFormats(format)) != 0; first = 0) {
        char name[128];
        if (GetClipboardFormatNameA(format, name, sizeof name) && !strcmp(name, PRIVATE_FORMAT)) {
            printf("%s\"private\"", first ? "" : ",");
        } else {
            printf("%s%u", first ? "" : ",", format);
        }
    }
    printf("],\"text\":");
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? GlobalLock(data) : NULL;
    if (text) {
        print_hex(text, strlen(text));
        GlobalUnlock(data);
    } else {
        printf("null");
    }
    printf(",\"unicode\":");
    data = GetClipboardData(CF_UNICODETEXT);
    const WCHAR* wide = data ? GlobalLock(data) : NULL;
    if (wide) {
        print_hex((const char*)wide, wcslen(wide) * sizeof *wide);
        GlobalUnlock(data);
    } else {
        printf("null");
    }
    printf("}\n");
    CloseClipboard();
    return 0;
}

static HANDLE global_copy(const char* bytes, size_t length) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    char* to = GlobalLock(block);
    memcpy(to, bytes, length + 1);
    GlobalUnlock(block);
    return block;
}

static int clip_set(const char* hex) {
    char* text = malloc(strlen(hex) / 2 + 1);
    size_t length = from_hex(hex, text);
    if (!open_clipboard(NULL)) return 1;
    EmptyClipboard();
    int ok =
        SetClipboardData(CF_TEXT, global_copy(text, length)) != NULL &&
        SetClipboardData(RegisterClipboardFormatA(PRIVATE_FORMAT), global_copy("p", 1)) != NULL;
    CloseClipboard();
    return ok ? 0 : 1;
}

static HANDLE pipe_server, pipe_client;
static char piped[10000];

/* An empty non-blocking pipe fails a read at once (232). So that one read certainly does, the
 * second piece waits until the reader has taken the first, and a moment more. */
static DWORD WINAPI write_pipe(void* nowait) {
    DWORD size = nowait ? 3000 : sizeof piped, written = 0, left = 1;
    WriteFile(pipe_client, piped, size, &written, NULL);
    while (nowait && PeekNamedPipe(pipe_server, NULL, 0, NULL, &left, NULL) && left) Sleep(5);
    if (nowait) {
        Sleep(500);
        WriteFile(pipe_client, piped + size, size, &written, NULL);
    }
    return CloseHandle(pipe_client);
}

static int launch(const char* input) {
    static char command_line[65536];
    static WCHAR wide[65536];
    int unicode = input && !strcmp(input, "unicode");
    if (unicode) input = NULL; /* the standard handles as without INPUT */
    _setmode(_fileno(stdin), _O_BINARY);
    size_t length = fread(command_line, 1, sizeof command_line - 1, stdin);
    command_line[length] = 0;
    STARTUPINFOA startup = {.cb = sizeof startup};
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    startup.dwFlags = input ? STARTF_USESTDHANDLES : 0;
    int nowait = input && !strcmp(input, "nowait");
    if (nowait || (input && !strcmp(input, "message"))) {
        const char* name = "\\\\.\\pipe\\tamsel-probe";
        startup.hStdInput = pipe_server =
            CreateNamedPipeA(name, PIPE_ACCESS_INBOUND,
                             nowait ? PIPE_NOWAIT : PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 0,
                             65536, 0, &inherited);
        pipe_client = CreateFileA(name, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        for (int i = 0; i < (int)sizeof piped; ++i) piped[i] = (char)(1 + i % 255);
        CreateThread(NULL, 0, write_pipe, nowait ? piped : NULL, 0, NULL);
    } else if (input && strcmp(input, "none")) {
        startup.hStdInput =
            CreateFileA(input, GENERIC_WRITE, 0, &inherited, CREATE_ALWAYS, 0, NULL);
    }
    PROCESS_INFORMATION process;
    STARTUPINFOW plain = {.cb = sizeof plain};
    if (unicode) MultiByteToWideChar(CP_UTF8, 0, command_line, -1, wide, 65536);
    if (unicode ? !CreateProcessW(NULL, wide, NULL, NULL, TRUE, 0, NULL, NULL, &plain, &process)
                : !CreateProcessA(NULL, command_line, NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                                  &process)) {
        printf("CreateProcess failed: %lu\n", GetLastError());
        return 255;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    printf("exit %lu\n", code);
    return (int)code;
}

static int type_keys(HANDLE input, const char* hex) {
    static char bytes[16384];
    static WCHAR text[16384];
    static INPUT_RECORD keys[16384];
    int length = MultiByteToWideChar(CP_UTF8, 0, bytes, (int)from_hex(hex, bytes), text, 16384);
    for (int i = 0; i < length; ++i) {
        KEY_EVENT_RECORD* key = &keys[i].Event.KeyEvent;
        memset(&keys[i], 0, sizeof keys[i]);
        keys[i].EventType = KEY_EVENT;
        key->bKeyDown = TRUE;
        key->wRepeatCount = 1;
        key->uChar.UnicodeChar = text[i];
        if (text[i] == '\r') {
            key->wVirtualKeyCode = VK_RETURN;
        } else if (text[i] < 0x20) {
            key->wVirtualKeyCode = (WORD)('A' + text[i] - 1);
            key->dwControlKeyState = LEFT_CTRL_PRESSED;
        }
    }
    DWORD written = 0;
    return length == 0 ||
           (WriteConsoleInputW(input, keys, (DWORD)length, &written) && written == (DWORD)length);
}

/* A cooked read takes the queued keys into its line as they come: none left, all taken. Polled
 * often, so that what is typed after a flush comes within the moment the program waits. */
static void wait_until_taken(HANDLE input, int timeout_ms) {
    DWORD left = 0, start = GetTickCount();
    while (GetNumberOfConsoleInputEvents(input, &left) && left &&
           GetTickCount() - start < (DWORD)timeout_ms) {
        Sleep(1);
    }
}

static char next_line[16384];
static DWORD next_length;

static DWORD WINAPI read_line(void* input) {
    return ReadFile(input, next_line, sizeof next_line, &next_length, NULL);
}

static int console(char** argv, int lines) {
    const char *exe = argv[0], *answer = argv[1], *options = argv[3];
    int timeout_ms = atoi(argv[2]);
    char command_line[MAX_PATH + 3];
    snprintf(command_line, sizeof command_line, "\"%s\"", exe);
    STARTUPINFOA startup = {.cb = sizeof startup};
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command_line, NULL, NULL, FALSE, CREATE_NEW_CONSOLE, NULL, NULL,
                        &startup, &process)) {
        return 255;
    }
    FreeConsole();
    for (int waited = 0; !AttachConsole(process.dwProcessId) && waited < timeout_ms; waited += 10) {
        Sleep(10);
    }
    SetConsoleCtrlHandler(NULL, TRUE); /* a Ctrl+C typed for EXE reaches us too */
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    DWORD mode = 0;
    if (strchr(options, 'p') && GetConsoleMode(input, &mode)) {
        SetConsoleMode(input, mode & ~ENABLE_PROCESSED_INPUT);
    }
    UINT code_page = (UINT)atoi(options + strcspn(options, "0123456789"));
    if (code_page) SetConsoleCP(code_page); /* the console's, so EXE's too */
    int typed = input != INVALID_HANDLE_VALUE && type_keys(input, argv[4]);
    if (typed && box(answer, timeout_ms, 0) == 2) printf("null\n");
    for (int i = 5; typed && i < 5 + lines; ++i) {
        wait_until_taken(input, timeout_ms);
        typed = type_keys(input, argv[i]);
    }
    int ended = typed && WaitForSingleObject(process.hProcess, (DWORD)timeout_ms) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, (DWORD)timeout_ms);
    }
    if (!typed) return 4;
    DWORD code = 255, left = 0;
    GetExitCodeProcess(process.hProcess, &code);
    GetNumberOfConsoleInputEvents(input, &left);
    printf("{\"exit\":%lu,\"ended\":%d,\"events\":%lu,\"next\":", code, ended, left);
    /* Only when asked: Wine keeps the read of a program that ended during it (Ctrl+C) and hands
     * it the next line, so that ours would never return. */
    HANDLE reader = strchr(options, 'n') ? CreateThread(NULL, 0, read_line, input, 0, NULL) : NULL;
    if (reader && type_keys(input, "6e6578740d") &&
        WaitForSingleObject(reader, (DWORD)timeout_ms) == WAIT_OBJECT_0) {
        print_hex(next_line, next_length);
    } else {
        printf("null");
    }
    printf("}\n");
    return 0;
}

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && !strcmp(argv[1], "box")) {
        return box(argv[2], atoi(argv[3]), argc == 5 ? atoi(argv[4]) : 0);
    }
    if (argc == 2 && !strcmp(argv[1], "clip-get")) return clip_get();
    if (argc == 3 && !strcmp(argv[1], "clip-set")) return clip_set(argv[2]);
    if ((argc == 2 || argc == 3) && !strcmp(argv[1], "launch")) return launch(argv[2]);
    if (argc >= 7 && !strcmp(argv[1], "console")) return console(argv + 2, argc - 7);
    fprintf(stderr, "usage: probe box|clip-get|clip-set|launch|console ...\n");
    return 64;
}
