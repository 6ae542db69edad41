#include "ui/payment_commands.h"

#include <set>
#include <string>

#include "resource.h"
#include "ui/details_dialog.h"
#include "ui/history_journal.h"
#include "ui/history_list.h"
#include "ui/hot_keys.h"
#include "ui/main_window_services.h"
#include "ui/tray_icon.h"
#include "util/debug_trace.h"
#include "util/local_time.h"

namespace {

// The selected row the user acted on last (the selection mark, when it is selected), or
// the first selected one; -1 when no row is selected. The mark alone may sit on a row
// that is not selected, after a deselection or a deletion.
int ChosenRow(HWND list) {
    int mark = static_cast<int>(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
    if (mark >= 0 && (SendMessageA(list, LVM_GETITEMSTATE, mark, LVIS_SELECTED) & LVIS_SELECTED))
        return mark;
    return static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Only this row selected and focused, and in view.
void SelectOnly(HWND list, int row) {
    SetRowState(list, -1, LVIS_SELECTED, 0);
    SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, row);
    SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
}

bool CanType(Program& program) {
    if (program.settings.injectionMode > ModeOff && program.injector) return true;
    ShowStatusText(program, "Injeção de teclado desativada: nada foi digitado.");
    return false;
}

}  // namespace

void NoteTyped(Program& program, const CodeRecord* record) {
    std::string now = FormatReceivedAt(LocalNow());
    auto lock = program.history.Lock();
    if (!program.history.Change(record, [&](CodeRecord& stored) { stored.typedAt = now; })) return;
    StoreMark(program, *record, RecordMark::Typed, now);
}

void NotePaid(Program& program, const CodeRecord* record, bool paid) {
    std::string at = paid ? FormatReceivedAt(LocalNow()) : std::string();
    auto lock = program.history.Lock();
    if (!program.history.Change(record, [&](CodeRecord& stored) { stored.paidAt = at; })) return;
    StoreMark(program, *record, RecordMark::Paid, at);
}

void TypeNextCode(Program& program) {
    // A scan that came a moment ago is in the list before the next one is chosen.
    DrainReceiverEvents(program, true);
    HWND list = program.list;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    int next = -1, waiting = 0;
    {
        auto lock = program.history.Lock();
        // A slip scanned twice is typed once: a code another row shows typed or paid is done.
        std::set<std::string> done;
        program.history.ForEach([&](const CodeRecord& record) {
            if (!record.paidAt.empty() || !record.typedAt.empty()) done.insert(record.code);
        });
        for (int row = 0; row < count; ++row) {
            const CodeRecord* record = RecordOfListRow(list, row);
            if (!record || !IsWaitingToBeTyped(*record) || !done.insert(record->code).second)
                continue;
            if (next < 0) next = row;
            ++waiting;
        }
    }
    DebugTrace("Ctrl+Alt+N: row %d of %d waiting\n", next, waiting);
    if (next < 0) {
        ShowStatusText(program, "Nenhum código a pagar na lista.");
        ShowTrayBalloon(program, "Nenhum código a pagar na lista.");
        return;
    }
    if (!CanType(program)) return;
    const CodeRecord* record = RecordOfListRow(list, next);
    std::string code, summary;
    CodeKind kind;
    {
        auto lock = program.history.Lock();
        code = record->code;
        kind = record->kind;
        summary = PaymentSummary(*record);
    }
    if (!program.injector->TypeCode(code, kind)) {
        ShowStatusText(program, "O código não pôde ser digitado agora; tente de novo.");
        return;
    }
    NoteTyped(program, record);
    SelectOnly(list, next);
    InvalidateRect(list, nullptr, FALSE);
    std::string text = "Digitado: " + summary + " (faltam " + std::to_string(waiting - 1) + ")";
    ShowStatusText(program, text.c_str());
}

void TypeChosenRow(Program& program) {
    int row = ChosenRow(program.list);
    DebugTrace("WM_HOTKEY %d", row);
    std::string code;
    CodeKind kind;
    const CodeRecord* record = StoredRecordOfRow(program, row, code, kind);
    if (!record) return;
    if (program.settings.injectionMode >= ModeTypeable && program.injector &&
        program.injector->TypeCode(code, kind))
        NoteTyped(program, record);
}

void RegisterNextHotKey(Program& program, HWND window) {
    program.nextHotKeyId = GlobalAddAtomA("ZentoryNextHotkey");
    // Held keys type one code, not the whole pile.
    if (RegisterCtrlAltHotKey(window, program.nextHotKeyId, 'N')) return;
    DebugTrace("[E] RegisterHotKey Ctrl+Alt+N %lu\n", GetLastError());
    program.nextHotKeyRefused = true;
}

void OnRowCheckChanged(Program& program, const NMLISTVIEW* change) {
    if (change->iItem < 0 || !(change->uChanged & LVIF_STATE) ||
        !((change->uOldState ^ change->uNewState) & LVIS_STATEIMAGEMASK))
        return;
    bool checked = (change->uNewState & LVIS_STATEIMAGEMASK) == PaidCheckState(true);
    const auto* record = reinterpret_cast<const CodeRecord*>(change->lParam);
    if (!record) return;
    {
        // The list sets the box of a row it adds: only a change of the mark is stored.
        auto lock = program.history.Lock();
        if (!program.history.FindByReference(record) || record->paidAt.empty() != checked) return;
    }
    NotePaid(program, record, checked);
    InvalidateRect(program.list, nullptr, FALSE);
}

void ShowRowMenu(Program& program, LPARAM where) {
    HWND list = program.list;
    POINT at;
    int row;
    if (where == -1) {
        // The menu key or Shift+F10: the focused row's menu, under it.
        row = static_cast<int>(
            SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        RECT bounds = {LVIR_LABEL, 0, 0, 0};
        if (row < 0 || !SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)))
            return;
        at = {bounds.left, bounds.bottom};
        ClientToScreen(list, &at);
    } else {
        at = {static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
        LVHITTESTINFO hit = {};
        hit.pt = at;
        ScreenToClient(list, &hit.pt);
        row = static_cast<int>(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    }
    const CodeRecord* clicked = RecordOfListRow(list, row);
    if (!clicked) return;
    bool paid;
    {
        auto lock = program.history.Lock();
        paid = !clicked->paidAt.empty();
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING | (paid ? MF_CHECKED : MF_UNCHECKED), IDM_MARK_PAID,
                "&Marcar como pago\tEspaço");
    AppendMenuA(menu, MF_STRING, IDM_ROW_DETAILS, "D&etalhes");
    UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                 program.mainWindow, nullptr);
    DestroyMenu(menu);
    // Records arrived while the menu was open, and the cap may have taken rows away: the
    // clicked record is looked for again.
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(clicked);
    row = static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(&find)));
    if (row < 0) return;
    {
        auto lock = program.history.Lock();
        if (!program.history.FindByReference(clicked)) return;
        paid = !clicked->paidAt.empty();
    }
    if (chosen == IDM_MARK_PAID) {
        // Every selected row takes the clicked row's new mark; the boxes' notifications
        // store it.
        UINT mark = PaidCheckState(!paid);
        ForEachSelectedRow(
            list, [&](int selected) { SetRowState(list, selected, LVIS_STATEIMAGEMASK, mark); });
        SetRowState(list, row, LVIS_STATEIMAGEMASK, mark);
    } else if (chosen == IDM_ROW_DETAILS) {
        ShowDetailsDialog(program.mainWindow, program.instance, program.history,
                          RowItemId(list, row));
    }
}
