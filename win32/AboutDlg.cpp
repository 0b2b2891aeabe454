#include "win32/AboutDlg.h"

namespace varnel {

CAboutDlg::CAboutDlg(HWND owner) : CDialog(AboutBoxTemplate(), owner) {}

}  // namespace varnel
