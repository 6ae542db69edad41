#include "ui/custom_separators_dialog.h"

#include "resource.h"
#include "settings/settings.h"
#include "typing/layouts.h"
#include "ui/dialog_helpers.h"
#include "ui/layout_helper.h"

namespace {

constexpr int kSeparatorCount = IDC_SEPARATOR_LAST - IDC_SEPARATOR_FIRST + 1;  // bits 0-9

bool IsSample(int id) {
    return (id >= IDC_SAMPLE_BANK1 && id <= IDC_SAMPLE_COLLECTION4) ||
           (id >= IDC_SAMPLE_BANK3 && id <= IDC_SAMPLE_BANK8);
}

}  // namespace

INT_PTR CALLBACK CustomSeparatorsProcedure(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* store = reinterpret_cast<SettingsStore*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            CenterWindow(GetParent(dialog), dialog);
            std::int32_t bits = reinterpret_cast<SettingsStore*>(lParam)->ReadRegDword(
                kSettingsKey, kCustomSeparatorsValue);
            for (int i = 0; i < kSeparatorCount; ++i) {
                bool set = bits != -1 && ((static_cast<std::uint32_t>(bits) >> i) & 1u);
                CheckDlgButton(dialog, IDC_SEPARATOR_FIRST + i, set ? BST_CHECKED : BST_UNCHECKED);
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (wParam == IDOK) {
                std::int32_t bits = 0;
                for (int i = 0; i < kSeparatorCount; ++i) {
                    if (IsDlgButtonChecked(dialog, IDC_SEPARATOR_FIRST + i)) bits |= 1 << i;
                }
                if (!store->WriteRegDword(kSettingsKey, kCustomSeparatorsValue, bits))
                    ReportRefusedSettings(dialog, store->LastWriteError());
                EndDialog(dialog, 0);
                return TRUE;
            }
            if (wParam == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
        case WM_CTLCOLORSTATIC:
            if (!IsSample(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) return FALSE;
            return ColouredStaticText(wParam, LinkTextColour());
        default: return FALSE;
    }
}

void CustomSeparatorsDialog(HWND owner, HINSTANCE instance, SettingsStore& store) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CUSTOM_SEPARATORS), owner,
                    CustomSeparatorsProcedure, reinterpret_cast<LPARAM>(&store));
}
