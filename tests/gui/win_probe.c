/* A small Win32 helper for the GUI tests, run under the same Wine prefix as the viewer. It
   looks at the viewer's windows from outside, as a screen reader or a test harness would:

     win_probe text TITLE             class and text of the window and of each child, UTF-8
     win_probe has-class CLASS        "1" when a top-level window of that class exists, else "0"
     win_probe layout TITLE           "client W H pane X Y W H": the main window's client size
                                      and the pane's outer rectangle in client coordinates
     win_probe outer TITLE            "outer W H zoomed Z iconic I"
     win_probe syscommand TITLE CMD   CMD = maximize, restore or minimize (as the caption
                                      buttons would send it)
     win_probe resize TITLE W H       resize the main window to W x H outer pixels
     win_probe clipboard FILE         writes the clipboard's CF_DIB block to FILE
     win_probe hold FILE SECONDS      keeps FILE open (read, no sharing of writes) for SECONDS
                                      and makes FILE.held while it does: Windows then refuses
                                      to replace FILE

   Exit status 0 on success, 1 when the window or the clipboard data is not there. */
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

static void PrintUtf8(const wchar_t* text) {
    char buffer[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
    if (n <= 0) buffer[0] = '\0';
    fputs(buffer, stdout);
}

static void PrintWindowLine(HWND window, const char* prefix) {
    wchar_t className[256];
    wchar_t text[1024];
    GetClassNameW(window, className, 256);
    /* WM_GETTEXT works across processes (GetWindowText does not read static controls of
       another process). */
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
    text[1023] = 0;
    fputs(prefix, stdout);
    PrintUtf8(className);
    fputs("\t", stdout);
    PrintUtf8(text);
    fputs("\n", stdout);
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM unused) {
    (void)unused;
    PrintWindowLine(child, "child\t");
    return TRUE;
}

static BOOL CALLBACK FindListView(HWND child, LPARAM found) {
    wchar_t name[64];
    if (GetClassNameW(child, name, 64) > 0 && wcscmp(name, L"SysListView32") == 0) {
        *(HWND*)found = child;
        return FALSE;
    }
    return TRUE;
}

static HWND FindTitle(const wchar_t* title) {
    /* The window may still be on its way: wait up to 10 s. */
    for (int i = 0; i < 100; ++i) {
        HWND window = FindWindowW(NULL, title);
        if (window != NULL) return window;
        Sleep(100);
    }
    fputs("win_probe: no window with that title\n", stderr);
    return NULL;
}

static int WriteClipboard(const wchar_t* path) {
    if (!OpenClipboard(NULL)) return 1;
    HANDLE data = GetClipboardData(CF_DIB);
    int result = 1;
    if (data != NULL) {
        SIZE_T size = GlobalSize(data);
        void* bytes = GlobalLock(data);
        FILE* out = _wfopen(path, L"wb");
        if (bytes != NULL && out != NULL && fwrite(bytes, 1, size, out) == size) result = 0;
        if (out != NULL) fclose(out);
        if (bytes != NULL) GlobalUnlock(data);
    }
    CloseClipboard();
    return result;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fputs("usage: win_probe text|has-class|layout|outer|syscommand|resize|clipboard ...\n", stderr);
        return 2;
    }
    const wchar_t* command = argv[1];
    if (wcscmp(command, L"clipboard") == 0) return WriteClipboard(argv[2]);
    if (wcscmp(command, L"hold") == 0 && argc >= 4) {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) return 1;
        wchar_t marker[MAX_PATH + 8];
        _snwprintf(marker, MAX_PATH + 8, L"%ls.held", argv[2]);
        marker[MAX_PATH + 7] = 0;
        HANDLE held = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        Sleep((DWORD)_wtoi(argv[3]) * 1000);
        CloseHandle(file);
        return 0;
    }
    if (wcscmp(command, L"has-class") == 0) {
        puts(FindWindowW(argv[2], NULL) != NULL ? "1" : "0");
        return 0;
    }
    HWND window = FindTitle(argv[2]);
    if (window == NULL) return 1;
    if (wcscmp(command, L"text") == 0) {
        PrintWindowLine(window, "window\t");
        EnumChildWindows(window, PrintChild, 0);
        return 0;
    }
    if (wcscmp(command, L"listed") == 0) {
        /* The number of entries the file dialog's list shows (LVM_GETITEMCOUNT carries no
           pointer, so it works across processes). */
        HWND list = NULL;
        EnumChildWindows(window, FindListView, (LPARAM)&list);
        if (list == NULL) return 1;
        printf("%ld\n", (long)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        return 0;
    }
    if (wcscmp(command, L"layout") == 0) {
        RECT client;
        GetClientRect(window, &client);
        HWND pane = FindWindowExW(window, NULL, L"ImagePane", NULL);
        RECT rect = {0, 0, 0, 0};
        if (pane != NULL) {
            GetWindowRect(pane, &rect);
            MapWindowPoints(NULL, window, (POINT*)&rect, 2);
        }
        printf("client %ld %ld pane %ld %ld %ld %ld\n", client.right, client.bottom, rect.left,
               rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return pane != NULL ? 0 : 1;
    }
    if (wcscmp(command, L"outer") == 0) {
        RECT rect;
        GetWindowRect(window, &rect);
        printf("outer %ld %ld zoomed %d iconic %d\n", rect.right - rect.left,
               rect.bottom - rect.top, IsZoomed(window) ? 1 : 0, IsIconic(window) ? 1 : 0);
        return 0;
    }
    if (wcscmp(command, L"syscommand") == 0 && argc >= 4) {
        WPARAM code = wcscmp(argv[3], L"maximize") == 0   ? SC_MAXIMIZE
                      : wcscmp(argv[3], L"minimize") == 0 ? SC_MINIMIZE
                                                          : SC_RESTORE;
        SendMessageW(window, WM_SYSCOMMAND, code, 0);
        return 0;
    }
    if (wcscmp(command, L"resize") == 0 && argc >= 5) {
        SetWindowPos(window, NULL, 0, 0, _wtoi(argv[3]), _wtoi(argv[4]),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    fputs("win_probe: unknown command\n", stderr);
    return 2;
}
