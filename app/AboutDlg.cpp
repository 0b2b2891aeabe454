#include "app/AboutDlg.h"

namespace varnel {
namespace {

const ControlTemplate kAboutControls[] = {
    {ControlKind::Icon, IDC_STATIC, 12, 9, 21, 20},
    {ControlKind::Text, IDC_STATIC, 50, 8, 40, 8, "Varnel"},
    {ControlKind::Text, IDC_STATIC, 50, 24, 117, 8, "Version:  R01.03.00,  12.Apr.2010"},
    {ControlKind::DefPushButton, IDOK, 185, 13, 32, 14, "OK", CS_TABSTOP},
};

const DialogTemplate kAboutTemplate = {IDD_ABOUTBOX, "About Varnel", 228, 44, kAboutControls};

}  // namespace

const DialogTemplate& AboutDialogTemplate() {
    return kAboutTemplate;
}

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(kAboutTemplate, parent) {}

}  // namespace varnel
