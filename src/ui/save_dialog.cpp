#include "ui/save_dialog.h"

#include <commdlg.h>

#include <string>

#include "history/csv_export.h"
#include "history/history_export.h"
#include "ui/layout_helper.h"
#include "util/debug_trace.h"
#include "util/local_time.h"

namespace {

bool FileExists(const std::string& name) {
    DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int ChooseExportFile(HWND owner, Program& program) {
    char name[MAX_PATH] = {};
    lstrcpynA(name, program.exportFileName.c_str(), sizeof name);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "All\0*.*\0Txt file (*.txt)\0*.txt\0Planilha CSV (*.csv)\0*.csv\0";
    // A proposed name that is a spreadsheet file opens with its type chosen.
    dialog.nFilterIndex = IsCsvFileName(program.exportFileName) ? kCsvFilterIndex : 2;
    dialog.lpstrFile = name;
    dialog.nMaxFile = sizeof name;
    dialog.lpstrTitle = "Save log";
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
    dialog.lpfnHook = CenteringSaveDialogHook;
    if (!GetSaveFileNameA(&dialog)) return -1;

    int filter = static_cast<int>(dialog.nFilterIndex);
    std::string file = WithExportExtension(name, filter);
    DebugTrace("SaveFilename %s %d", file.c_str(), filter);
    if (FileExists(file)) {
        std::string question = "O arquivo " + file + " já existe.\nDeseja substituí-lo?";
        if (MessageBoxA(owner, question.c_str(), "zentory",
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
            return 0;
        }
    }
    if (!WriteHistoryExport(file, program.history, TodayLocal())) {
        std::string message = "Não foi possível gravar o histórico em " + file + ".";
        MessageBoxA(owner, message.c_str(), "zentory", MB_OK | MB_ICONERROR);
    }
    return 0;
}
