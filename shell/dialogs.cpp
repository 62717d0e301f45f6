// The viewer's message texts and its Open and Save dialogs (comdlg32, UTF-16).
#include "shell/dialogs.h"

#include <cstdio>
#include <cstring>

#include "platform/unicode.h"
#include "resources/strings.h"
#include "shell/startup.h"

namespace {

// A dialog's UTF-16 name as UTF-8 into fileName (kFileNameCapacity bytes).
DialogResult ChosenName(const wchar_t* wide, char* fileName) {
    const std::u16string units(wide, wide + wcslen(wide));
    std::string name;
    if (!Utf16ToUtf8(units.data(), units.size(), &name) ||
        name.size() >= static_cast<size_t>(kFileNameCapacity)) {
        fileName[0] = '\0';
        return kDialogBadName;
    }
    std::memcpy(fileName, name.c_str(), name.size() + 1);
    return kDialogChosen;
}

}  // namespace

std::wstring WideText(const char* text) {
    std::u16string units;
    if (!Utf8ToUtf16(text, std::strlen(text), &units)) return std::wstring();
    return std::wstring(units.begin(), units.end());
}

int32_t LoadMessageText(int32_t id, wchar_t* out, int32_t capacity) {
    if (capacity <= 0) return 0;
    const int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id), out, capacity);
    if (n > 0) return n;
    out[0] = L'\0';
    return 0;
}

void InitFileDialog(OPENFILENAMEW* record, wchar_t* fileName) {
    std::memset(record, 0, sizeof *record);
    record->lStructSize = 76;  // OPENFILENAME_SIZE_VERSION_400W: no pvReserved/FlagsEx
    record->hInstance = GetModuleHandleW(nullptr);
    record->nFilterIndex = 1;
    fileName[0] = L'\0';
    record->lpstrFile = fileName;
    record->nMaxFile = MAX_PATH;
}

DialogResult ShowOpenDialog(void* owner, char* fileName, int32_t filterTextId,
                            const char* patterns, int32_t titleId) {
    OPENFILENAMEW record;
    wchar_t wide[MAX_PATH];
    InitFileDialog(&record, wide);
    fileName[0] = '\0';
    wchar_t title[256];
    record.hwndOwner = static_cast<HWND>(owner);
    record.lpstrTitle = titleId != 0 && LoadMessageText(titleId, title, 256) > 0 ? title : nullptr;
    record.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    // "<text>\0<patterns>\0<all files> (*.*)\0*.*\0\0"
    wchar_t text[256];
    std::wstring filter;
    LoadMessageText(filterTextId, text, 256);
    filter += text;
    filter += L'\0';
    filter += WideText(patterns);
    filter += L'\0';
    LoadMessageText(IDS_ALL_FILES, text, 256);
    filter += text;
    filter += L" (*.*)";
    filter += L'\0';
    filter += L"*.*";
    filter += L'\0';
    record.lpstrFilter = filter.c_str();  // the string's own zero ends the list
    if (!GetOpenFileNameW(&record)) return kDialogCancelled;
    return ChosenName(wide, fileName);
}

DialogResult ShowSaveDialog(HWND owner, char* fileName, int32_t filterTextId,
                            const char* extension, int32_t titleId) {
    OPENFILENAMEW record;
    wchar_t wide[MAX_PATH];
    InitFileDialog(&record, wide);
    fileName[0] = '\0';
    wchar_t title[256];
    const std::wstring defaultExtension = WideText(extension);
    record.hwndOwner = owner;
    record.lpstrTitle = titleId != 0 && LoadMessageText(titleId, title, 256) > 0 ? title : nullptr;
    record.lpstrDefExt = defaultExtension.c_str();
    record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    // One entry: "<text> (*.<ext>)\0*.<ext>\0\0".
    wchar_t text[256];
    LoadMessageText(filterTextId, text, 256);
    const std::wstring pattern = L"*." + defaultExtension.substr(0, 3);
    std::wstring filter = std::wstring(text) + L" (" + pattern + L")";
    filter += L'\0';
    filter += pattern;
    filter += L'\0';
    record.lpstrFilter = filter.c_str();
    if (!GetSaveFileNameW(&record)) return kDialogCancelled;
    return ChosenName(wide, fileName);
}
