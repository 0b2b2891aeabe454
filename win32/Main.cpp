#include "win32/Win32Api.h"

#include "win32/VarnelApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The program defines no options: whatever the command line holds, the main window opens.
    varnel::win32::CVarnelApp theApp(instance);
    return theApp.Run();
}
