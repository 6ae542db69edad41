#include "ui/details_dialog.h"

#include "codes/written_code.h"

#include "ui/history_journal.h"

#include <optional>
#include <string>

#include "codes/bank_slip.h"
#include "codes/pix_code.h"
#include "resource.h"
#include "ui/dialog_helpers.h"
#include "ui/layout_helper.h"
#include "util/text_encoding.h"

namespace {

const int kFieldBoxes[] = {IDC_DETAILS_FIELD1, IDC_DETAILS_FIELD2, IDC_DETAILS_FIELD3,
                           IDC_DETAILS_FIELD4, IDC_DETAILS_FIELD5};

RECT ClientRectOf(HWND dialog, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The four collection blocks share the barcode box's width, 10 pixels apart.
void LayOutBlocks(HWND dialog) {
    RECT barcode = ClientRectOf(dialog, IDC_DETAILS_BARCODE);
    RECT first = ClientRectOf(dialog, IDC_DETAILS_FIELD1);
    int width = (barcode.right - barcode.left - 30) / 4;
    int height = barcode.bottom - barcode.top;
    for (int i = 0; i < 4; ++i) {
        HWND box = GetDlgItem(dialog, kFieldBoxes[i]);
        SetWindowPos(box, nullptr, first.left + i * (width + 10), first.top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(box, SW_SHOW);
    }
}

void FillDetails(HWND dialog, const std::string& barcode) {
    SetDlgItemTextA(dialog, IDC_DETAILS_BARCODE, barcode.c_str());
    BankSlip slip(barcode);
    if (slip.IsBankSlip()) {
        auto fields = slip.TypeableFields(SeparatorStyle::Punctuated);
        for (int i = 0; i < 5; ++i)
            SetDlgItemTextA(dialog, kFieldBoxes[i], fields[i].c_str());
        SetDlgItemTextA(dialog, IDC_DETAILS_VALUE, slip.ValueText().c_str());
        SetDlgItemTextA(dialog, IDC_DETAILS_DUE_DATE, slip.DueDateText().c_str());
        SetDlgItemTextA(dialog, IDC_DETAILS_ISSUER, slip.BankName().c_str());
        SetWindowTextA(dialog, "Boleto bancário");
    } else if (slip.IsCollectionSlip()) {
        SetWindowTextA(dialog, "Consessionária");
        auto blocks = slip.CollectionBlocks(SeparatorStyle::Punctuated);
        for (int i = 0; i < 4; ++i)
            SetDlgItemTextA(dialog, kFieldBoxes[i], blocks[i].c_str());
        SetDlgItemTextA(dialog, IDC_DETAILS_VALUE, slip.CollectionValueText().c_str());
        SetDlgItemTextA(dialog, IDC_DETAILS_ISSUER, slip.SegmentName());
        for (int id : {IDC_DETAILS_DATE_LABEL, IDC_DETAILS_FIELD5, IDC_DETAILS_DUE_DATE}) {
            ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
        }
        LayOutBlocks(dialog);
    }
}

// A copy of the request's record, made under the lock: the record may go at any moment
// afterwards.
std::optional<CodeRecord> RecordOf(const DetailsRequest& request) {
    auto lock = request.history->Lock();
    const CodeRecord* record = request.history->FindByItemId(request.itemId);
    return record ? std::optional<CodeRecord>(*record) : std::nullopt;
}

// What a Pix row's details tell besides its fields: whether it checks, what a dynamic
// code's location is for, and an earlier reading.
std::string PixState(const PixCode& pix, const std::string& firstSeenAt) {
    std::string state;
    if (!pix.valid)
        state = "Código Pix inválido: " + pix.problem + ". Ele não é digitado.";
    else if (!pix.location.empty())
        state =
            "Cobrança dinâmica: o banco busca o valor neste endereço ao pagar; o Zentory "
            "não o acessa.";
    else
        state = "Código Pix válido (CRC confere).";
    if (!firstSeenAt.empty()) state += "\nLido antes em " + SpokenReceivedAt(firstSeenAt, true);
    return state;
}

void FillPixDetails(HWND dialog, const std::string& code, const std::string& firstSeenAt) {
    PixCode pix = ReadPixCode(code);
    auto show = [&](int id, std::string_view utf8) {
        SetDlgItemTextA(dialog, id, Utf8ToWindows1252(utf8).c_str());
    };
    show(IDC_PIX_NAME, pix.name);
    show(IDC_PIX_CITY, pix.city);
    SetDlgItemTextA(dialog, IDC_PIX_VALUE,
                    pix.amount.empty() ? "o pagador informa" : PixAmountText(pix.amount).c_str());
    if (pix.key.empty()) {
        SetDlgItemTextA(dialog, IDC_PIX_KEY_LABEL, "Localização");
        show(IDC_PIX_KEY, pix.location);
    } else {
        std::string label = std::string("Chave (") + PixKeyKindName(pix.keyKind) + ")";
        SetDlgItemTextA(dialog, IDC_PIX_KEY_LABEL, label.c_str());
        show(IDC_PIX_KEY, pix.key);
    }
    show(IDC_PIX_TXID, pix.txid);
    show(IDC_PIX_CODE, code);
    SetDlgItemTextA(dialog, IDC_PIX_STATE, PixState(pix, firstSeenAt).c_str());
}

// "Digitado em 10/12/2026 às 09:05:03. Pago em ..." of a record's marks; "" with none.
void ShowMarks(HWND dialog, const CodeRecord& record) {
    std::string marks;
    if (!record.typedAt.empty()) marks = "Digitado em " + SpokenReceivedAt(record.typedAt, true);
    if (!record.paidAt.empty()) {
        if (!marks.empty()) marks += ". ";
        marks += "Marcado como pago em " + SpokenReceivedAt(record.paidAt, true);
    }
    if (marks.empty()) marks = "Ainda não digitado nem marcado como pago";
    SetDlgItemTextA(dialog, IDC_DETAILS_MARKS, (marks + ".").c_str());
}

INT_PTR CALLBACK PixDetailsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            CenterWindow(GetParent(dialog), dialog);
            std::optional<CodeRecord> record =
                RecordOf(*reinterpret_cast<const DetailsRequest*>(lParam));
            if (record) {
                FillPixDetails(dialog, record->code, record->firstSeenAt);
                ShowMarks(dialog, *record);
            }
            // The focus on OK: on the name, the whole name would show selected.
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;
        }
        case WM_COMMAND:
        case WM_CLOSE: return EndOnOkCancelOrClose(dialog, message, wParam);
        default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK DetailsDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            CenterWindow(GetParent(dialog), dialog);
            std::optional<CodeRecord> record =
                RecordOf(*reinterpret_cast<const DetailsRequest*>(lParam));
            if (!record) return FALSE;
            FillDetails(dialog, record->code);
            // A pasted line's wrong field, then an earlier reading.
            std::string note =
                record->wrongField != 0 ? WrongFieldText(record->wrongField) : std::string();
            if (!record->firstSeenAt.empty()) {
                if (!note.empty()) note += "; ";
                note += "Lido antes em " + SpokenReceivedAt(record->firstSeenAt, true);
            }
            if (!note.empty()) SetDlgItemTextA(dialog, IDC_DETAILS_SEEN, note.c_str());
            ShowMarks(dialog, *record);
            return FALSE;
        }
        case WM_COMMAND:
        case WM_CLOSE: return EndOnOkCancelOrClose(dialog, message, wParam);
        case WM_CTLCOLORSTATIC:
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_DETAILS_ISSUER) return FALSE;
            return ColouredStaticText(wParam, RGB(0, 0, 255));
        default: return FALSE;
    }
}

void ShowDetailsDialog(HWND owner, HINSTANCE instance, const HistoryStore& history, int itemId) {
    DetailsRequest request{&history, itemId};
    std::optional<CodeRecord> record = RecordOf(request);
    if (record && record->kind == CodeKind::Pix) {
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PIX_DETAILS), owner, PixDetailsProcedure,
                        reinterpret_cast<LPARAM>(&request));
        return;
    }
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_DETAILS), owner, DetailsDialogProcedure,
                    reinterpret_cast<LPARAM>(&request));
}
