# The Debian package, made from the release build:
#   cmake --preset release && cmake --build --preset release --target package
# gives build/release/varnel_<version>_<arch>.deb. What the desktop needs besides the programs
# (manual pages, AppStream metadata, the Debian documents) is installed here; the programs, the
# desktop entry and the icons are installed by their own folders.
include(GNUInstallDirs)

# A package holds the application and the simulated radio, built without sanitizers: the
# sanitizer runtime would make every user's run slow and noisy. Other builds offer no package.
if(VARNEL_SANITIZE OR NOT VARNEL_LINUX OR NOT TARGET varnel OR NOT TARGET varnel-radio-sim)
    return()
endif()

set(VARNEL_PACKAGED_TOOLS varnel varnel-cli varnel-radio-sim)

# Debian keeps manual pages and changelogs compressed, without the name and time stamp that would
# make two builds of the same source differ.
find_program(VARNEL_GZIP gzip REQUIRED)
set(VARNEL_PACKAGING_DIR ${PROJECT_BINARY_DIR}/packaging)
set(VARNEL_COMPRESSED_DOCS)
function(varnel_compress_doc source name)
    set(copy ${VARNEL_PACKAGING_DIR}/${name})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNEL_PACKAGING_DIR}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${VARNEL_GZIP} -9nf ${copy}
        DEPENDS ${source}
        VERBATIM)
    set(VARNEL_COMPRESSED_DOCS ${VARNEL_COMPRESSED_DOCS} ${copy}.gz PARENT_SCOPE)
endfunction()

foreach(tool IN LISTS VARNEL_PACKAGED_TOOLS)
    varnel_compress_doc(${PROJECT_SOURCE_DIR}/man/${tool}.1 ${tool}.1)
    install(FILES ${VARNEL_PACKAGING_DIR}/${tool}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
varnel_compress_doc(${PROJECT_SOURCE_DIR}/packaging/changelog changelog)
add_custom_target(varnel_packaging_docs ALL DEPENDS ${VARNEL_COMPRESSED_DOCS})

install(FILES ${VARNEL_PACKAGING_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnel)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/com.tessaran.Varnel.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Everything the package holds, and nothing more: CI builds this and runs cpack itself, which
# spares it compiling the release build's tests (the "package" target builds all of it first).
add_custom_target(varnel_package_contents)
add_dependencies(varnel_package_contents ${VARNEL_PACKAGED_TOOLS} varnel_icons
    varnel_packaging_docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR Tessaran)
set(CPACK_PACKAGE_CONTACT "Tessaran <support@tessaran.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read a two-way radio's identity and program its ESN")
set(CPACK_PACKAGE_DESCRIPTION
    "Varnel is a tool for technicians at a bench or on a production line. It
talks to a two-way radio on a serial port (COM1 to COM4, or a USB serial
adapter) and reads the radio's identity (model and serial number, ESN,
software and codeplug versions, part numbers, Regional ID, UUID), writes the
electronic serial number (ESN) into a radio whose ESN is still blank, and
remembers the chosen port.
.
The package holds the desktop application varnel, the command-line tool
varnel-cli for scripts and production lines, and varnel-radio-sim, a
simulated radio on a pseudo-terminal for trying both without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://varnel.tessaran.com/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Only the Debian package: no source tarball next to it.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
