#include "ui/filter_bar.h"

#include <commctrl.h>

#include "resource.h"
#include "ui/dpi.h"
#include "ui/history_list.h"
#include "ui/selection_status.h"

namespace {

constexpr const char* kChoices[] = {"Todos", "A pagar", "Pagos"};
constexpr RowFilter::Show kShows[] = {RowFilter::Show::All, RowFilter::Show::ToPay,
                                      RowFilter::Show::Paid};
// The most a filter may hold: more than any line or name it can match.
constexpr int kMostFilterCharacters = 100;

std::string WindowText(HWND window) {
    char text[kMostFilterCharacters + 1] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

void CreateFilterBar(Program& program, HWND window) {
    HINSTANCE instance = program.instance;
    program.filterBox = CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0,
        0, window, reinterpret_cast<HMENU>(IDC_FILTER_BOX), instance, nullptr);
    program.filterChoice = CreateWindowExA(
        0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0,
        0, 0, window, reinterpret_cast<HMENU>(IDC_FILTER_CHOICE), instance, nullptr);
    SendMessageA(program.filterBox, EM_SETLIMITTEXT, kMostFilterCharacters, 0);
    // The box says what it is for while it is empty.
    SendMessageW(program.filterBox, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(L"Filtrar por banco, valor, data ou linha (Ctrl+F)"));
    for (const char* choice : kChoices)
        SendMessageA(program.filterChoice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendMessageA(program.filterChoice, CB_SETCURSEL, 0, 0);
}

int PlaceFilterBar(Program& program, int top, UINT dpi, HFONT font) {
    for (HWND control : {program.filterBox, program.filterChoice})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int margin = ScaleToDpi(3, dpi);
    // A drop-down list is as tall as its font makes it: the box takes its height.
    SetWindowPos(program.filterChoice, nullptr, margin + ScaleToDpi(330, dpi), top + margin,
                 ScaleToDpi(110, dpi), ScaleToDpi(200, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    RECT choice;
    GetWindowRect(program.filterChoice, &choice);
    int height = choice.bottom - choice.top;
    SetWindowPos(program.filterBox, nullptr, margin, top + margin, ScaleToDpi(322, dpi), height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return top + margin + height + margin;
}

void OnFilterCommand(Program& program, int control, int notification) {
    if (!(control == IDC_FILTER_BOX && notification == EN_CHANGE) &&
        !(control == IDC_FILTER_CHOICE && notification == CBN_SELCHANGE))
        return;
    RowFilter wanted;
    wanted.text = WindowText(program.filterBox);
    auto chosen = SendMessageA(program.filterChoice, CB_GETCURSEL, 0, 0);
    wanted.show = chosen >= 0 && chosen < 3 ? kShows[chosen] : RowFilter::Show::All;
    if (wanted.text == program.filter.text && wanted.show == program.filter.show) return;
    program.filter = wanted;
    ShowFilteredRows(program);
}

void FocusFilter(Program& program) {
    SetFocus(program.filterBox);
    SendMessageA(program.filterBox, EM_SETSEL, 0, -1);
}
