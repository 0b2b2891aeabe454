#include "win32/AboutDlg.h"

namespace varnel::win32 {

CAboutDlg::CAboutDlg(HWND owner) : CDialog(AboutBoxTemplate(), owner) {}

}  // namespace varnel::win32
