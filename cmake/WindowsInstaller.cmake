# The Windows installer, build/windows/varnel-<version>.msi (target msi): made with wixl from
# Debian's msitools, on the build machine, from the finished varnel.exe and varnel-cli.exe.
find_program(VARNEL_WIXL wixl NO_CMAKE_FIND_ROOT_PATH)
set(VARNEL_MSI ${CMAKE_BINARY_DIR}/varnel-${PROJECT_VERSION}.msi)
set(VARNEL_WXS ${PROJECT_SOURCE_DIR}/win32/installer/Varnel.wxs)
if(VARNEL_WIXL)
    # wixl takes the files by paths relative to where it runs, never absolute ones.
    file(RELATIVE_PATH icon ${CMAKE_BINARY_DIR} ${VARNEL_ICON_FILE})
    add_custom_command(OUTPUT ${VARNEL_MSI}
        COMMAND ${VARNEL_WIXL} --arch x64 --output ${VARNEL_MSI}
                --define Version=${PROJECT_VERSION}
                --define VarnelExe=$<PATH:RELATIVE_PATH,$<TARGET_FILE:varnel_win32_exe>,${CMAKE_BINARY_DIR}>
                --define VarnelCliExe=$<PATH:RELATIVE_PATH,$<TARGET_FILE:varnel-cli>,${CMAKE_BINARY_DIR}>
                --define IconFile=${icon}
                ${VARNEL_WXS}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        DEPENDS ${VARNEL_WXS} varnel_win32_exe varnel-cli ${VARNEL_ICON_FILE}
                $<TARGET_FILE:varnel_win32_exe> $<TARGET_FILE:varnel-cli>
        COMMENT "Building the installer varnel-${PROJECT_VERSION}.msi"
        VERBATIM)
    add_custom_target(msi DEPENDS ${VARNEL_MSI})
else()
    add_custom_target(msi
        COMMAND ${CMAKE_COMMAND} -E echo "The installer needs wixl: apt-get install wixl msitools"
        COMMAND ${CMAKE_COMMAND} -E false
        VERBATIM)
endif()
