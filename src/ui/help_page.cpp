#include "ui/help_page.h"

#include <shellapi.h>
#include <urlmon.h>

#include <cstdio>
#include <cstdlib>

#include "util/debug_trace.h"

namespace {

// The signature of MSHTML's ShowHTMLDialog.
using ShowHtmlDialogFunction = HRESULT(WINAPI*)(HWND, IMoniker*, VARIANT*, WCHAR*, VARIANT*);

bool ShowInHtmlDialog(HWND owner, const char* resourcePath) {
    HMODULE library = LoadLibraryA("MSHTML.DLL");
    if (!library) return false;
    auto show = reinterpret_cast<ShowHtmlDialogFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "ShowHTMLDialog")));
    bool shown = false;
    if (show) {
        char address[520] = "res://";
        GetModuleFileNameA(nullptr, address + 6, sizeof address - 6 - lstrlenA(resourcePath) - 1);
        lstrcatA(address, resourcePath);
        WCHAR wideAddress[520];
        MultiByteToWideChar(CP_ACP, 0, address, -1, wideAddress, 520);
        IMoniker* moniker = nullptr;
        if (SUCCEEDED(CreateURLMoniker(nullptr, wideAddress, &moniker)) && moniker) {
            WCHAR options[] = L"help:no";
            shown = SUCCEEDED(show(owner, moniker, nullptr, options, nullptr));
            moniker->Release();
        }
    }
    FreeLibrary(library);
    return shown;
}

void ShellOpen(HWND owner, const std::string& file) {
    ShellExecuteA(owner, "open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

std::string OpenHelpPageInBrowser(HWND owner, int resourceId, ShellOpener opener) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(23));
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* page = loaded ? LockResource(loaded) : nullptr;
    if (!page) return {};
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return {};
    std::string file = std::string(folder) + "zentory-ajuda.html";
    std::FILE* output = std::fopen(file.c_str(), "wb");
    if (!output) return {};
    DWORD size = SizeofResource(nullptr, resource);
    bool written = std::fwrite(page, 1, size, output) == size;
    if (std::fclose(output) != 0 || !written) return {};
    opener(owner, file);
    return file;
}

void ShowHelpPage(HWND owner, const char* resourcePath) {
    if (ShowInHtmlDialog(owner, resourcePath)) return;
    DebugTrace("[E] ShowHTMLDialog: showing the help page in the browser\n");
    OpenHelpPageInBrowser(owner, std::atoi(resourcePath + 2), ShellOpen);
}
