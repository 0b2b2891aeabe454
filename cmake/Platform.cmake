# The platform decisions of the build, in one place. Folders choose their platform's files by
# these names only, so that what a port to another system must provide is listed here:
#   VARNEL_WINDOWS  the Win32 API: the serial port, registry settings, varnel.exe
#   VARNEL_POSIX    POSIX descriptors, termios and signals
#   VARNEL_LINUX    sysfs and /proc (finding serial devices and why one cannot be opened), and
#                   the pseudo-terminals the simulated radio runs on
if(WIN32)
    set(VARNEL_WINDOWS ON)
    set(VARNEL_POSIX OFF)
else()
    set(VARNEL_WINDOWS OFF)
    set(VARNEL_POSIX ${UNIX})
endif()
if(CMAKE_SYSTEM_NAME STREQUAL Linux)
    set(VARNEL_LINUX ON)
else()
    set(VARNEL_LINUX OFF)
endif()

# The Qt window handles termination signals as POSIX gives them; on Windows the window is
# varnel.exe (win32/), which needs no Qt.
if(VARNEL_WINDOWS AND VARNEL_BUILD_GUI)
    message(FATAL_ERROR "The Qt application is built for Linux only; on Windows configure with "
                        "-DVARNEL_BUILD_GUI=OFF (the preset \"windows\" does) and use varnel.exe.")
endif()
