# What Windows reads from each .exe besides its code: a manifest, the application icon and the
# version information, made from one template (win32/resources) with the project's version.
enable_language(RC)

# The application's pixel drawings, shared with the Linux icons: varnel-16.xpm and varnel-32.xpm.
set(VARNEL_ARTWORK_DIR ${PROJECT_SOURCE_DIR}/artwork CACHE PATH
    "Folder of the application's pixel drawings")

# The icon file is written at build time by a small tool of the build machine from the drawings,
# with the XPM decoder varnel.exe itself uses. In a cross build the tool is compiled with the
# build machine's own compiler (the one that builds the simulated radio).
set(VARNEL_ICON_FILE ${CMAKE_BINARY_DIR}/resources/varnel.ico)
set(VARNEL_ICON_TOOL_SOURCES ${PROJECT_SOURCE_DIR}/win32/tools/IconFile.cpp
    ${PROJECT_SOURCE_DIR}/win32/Xpm.cpp)
set(VARNEL_ICON_DRAWINGS ${VARNEL_ARTWORK_DIR}/varnel-16.xpm ${VARNEL_ARTWORK_DIR}/varnel-32.xpm)
if(CMAKE_CROSSCOMPILING)
    find_program(VARNEL_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(VARNEL_ICON_TOOL ${CMAKE_BINARY_DIR}/resources/varnel-icon-file)
    add_custom_command(OUTPUT ${VARNEL_ICON_TOOL}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
        COMMAND ${VARNEL_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -I${PROJECT_SOURCE_DIR}
                ${VARNEL_ICON_TOOL_SOURCES} -o ${VARNEL_ICON_TOOL}
        DEPENDS ${VARNEL_ICON_TOOL_SOURCES} ${PROJECT_SOURCE_DIR}/win32/Xpm.h
        COMMENT "Building the icon tool for the build machine"
        VERBATIM)
    set(VARNEL_ICON_TOOL_COMMAND ${VARNEL_ICON_TOOL})
    set(VARNEL_ICON_TOOL_DEPENDS ${VARNEL_ICON_TOOL})
else()
    add_executable(varnel-icon-file ${VARNEL_ICON_TOOL_SOURCES})
    target_include_directories(varnel-icon-file PRIVATE ${PROJECT_SOURCE_DIR})
    set(VARNEL_ICON_TOOL_COMMAND $<TARGET_FILE:varnel-icon-file>)
    set(VARNEL_ICON_TOOL_DEPENDS varnel-icon-file)
endif()
add_custom_command(OUTPUT ${VARNEL_ICON_FILE}
    COMMAND ${VARNEL_ICON_TOOL_COMMAND} ${VARNEL_ICON_FILE} ${VARNEL_ICON_DRAWINGS}
    DEPENDS ${VARNEL_ICON_TOOL_DEPENDS} ${VARNEL_ICON_DRAWINGS}
    COMMENT "Writing varnel.ico from the pixel drawings"
    VERBATIM)
add_custom_target(varnel_ico DEPENDS ${VARNEL_ICON_FILE})

# varnel_windows_resources(TARGET FILENAME DESCRIPTION WINDOW): gives TARGET its manifest, icon and
# version information. WINDOW is ON for a program with windows: its manifest also asks for the
# version 6 common controls and declares it aware of the display scaling. A console program that
# loads no user32 gets neither (the common controls would load it).
function(varnel_windows_resources target filename description window)
    string(REGEX REPLACE "\\.exe$" "" VARNEL_RC_NAME ${filename})
    set(VARNEL_RC_FILENAME ${filename})
    set(VARNEL_RC_DESCRIPTION ${description})
    set(VARNEL_RC_VERSION_DOTTED ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    set(VARNEL_RC_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)
    set(VARNEL_RC_DEPENDENCY "")
    set(VARNEL_RC_DPI "")
    if(window)
        set(VARNEL_RC_DEPENDENCY [=[  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
]=])
        set(VARNEL_RC_DPI [=[  <asmv3:application>
    <asmv3:windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">system</dpiAwareness>
    </asmv3:windowsSettings>
  </asmv3:application>
]=])
    endif()
    set(dir ${CMAKE_BINARY_DIR}/resources/${VARNEL_RC_NAME})
    set(VARNEL_RC_MANIFEST ${dir}/${filename}.manifest)
    set(VARNEL_RC_ICON ${VARNEL_ICON_FILE})
    configure_file(${PROJECT_SOURCE_DIR}/win32/resources/varnel.manifest.in ${VARNEL_RC_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/win32/resources/Version.rc.in ${dir}/Version.rc @ONLY)
    target_sources(${target} PRIVATE ${dir}/Version.rc)
    # The resource compiler reads both files: a change to either rebuilds the resources.
    set_source_files_properties(${dir}/Version.rc PROPERTIES
        OBJECT_DEPENDS "${VARNEL_RC_MANIFEST};${VARNEL_ICON_FILE}")
    add_dependencies(${target} varnel_ico)
endfunction()
