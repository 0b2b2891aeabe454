#include "app/AboutDlg.h"

namespace varnel {

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(AboutBoxTemplate(), parent) {}

}  // namespace varnel
