#pragma once

// The shared dialog templates name the dialog results IDOK and IDCANCEL, which <windows.h>
// defines as macros of the same values. The macros are set aside while the templates are read,
// so that either header may come first.
#pragma push_macro("IDOK")
#pragma push_macro("IDCANCEL")
#undef IDOK
#undef IDCANCEL
#include "templates/DialogTemplates.h"
#pragma pop_macro("IDCANCEL")
#pragma pop_macro("IDOK")
