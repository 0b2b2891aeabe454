# SQLite for the MinGW build. Debian ships no SQLite for MinGW, so the amalgamation comes from the
# npm package better-sqlite3 12.11.1 (deps/sqlite3/sqlite3.c and sqlite3.h, SQLite 3.53.2): fetched
# with `npm pack` into the build folder at configure, checked against the SHA-256 below, and built
# here as a C library. Nothing of it is ever committed.
#
# VARNEL_SQLITE_TARBALL may name a copy fetched earlier (an offline build); it is checked the same.

set(VARNEL_SQLITE_NPM_PACKAGE better-sqlite3@12.11.1)
set(VARNEL_SQLITE_TARBALL_NAME better-sqlite3-12.11.1.tgz)
# The tarball the npm registry serves for 12.11.1 (its sha512 integrity:
# dq9AtApgg5PGFtBzPFSBl3HZQjHok5gaQCM6zh2Yk0aSmDCs1CbnVI8/HgASQkNKsWFpseIO9beg5xxpYhbIfA==).
set(VARNEL_SQLITE_TARBALL_SHA256 ebf0ed75a7a59dbcb3b24bbd014ef49d9f15bc328e4adcbf516f2a8fadfa2835)
set(VARNEL_SQLITE_TARBALL "" CACHE FILEPATH
    "${VARNEL_SQLITE_TARBALL_NAME} fetched earlier; empty: fetch it with npm pack")

set(varnel_sqlite_dir ${CMAKE_BINARY_DIR}/_deps/sqlite)
file(MAKE_DIRECTORY ${varnel_sqlite_dir})
if(VARNEL_SQLITE_TARBALL)
    set(varnel_sqlite_tarball ${VARNEL_SQLITE_TARBALL})
else()
    set(varnel_sqlite_tarball ${varnel_sqlite_dir}/${VARNEL_SQLITE_TARBALL_NAME})
endif()

function(varnel_sqlite_check_tarball result)
    set(${result} FALSE PARENT_SCOPE)
    if(EXISTS ${varnel_sqlite_tarball})
        file(SHA256 ${varnel_sqlite_tarball} actual)
        if(actual STREQUAL VARNEL_SQLITE_TARBALL_SHA256)
            set(${result} TRUE PARENT_SCOPE)
        else()
            message(WARNING "${varnel_sqlite_tarball} has SHA-256 ${actual}, not the pinned "
                "${VARNEL_SQLITE_TARBALL_SHA256}: not used.")
        endif()
    endif()
endfunction()

varnel_sqlite_check_tarball(varnel_sqlite_ok)
if(NOT varnel_sqlite_ok AND NOT VARNEL_SQLITE_TARBALL)
    find_program(VARNEL_NPM npm)
    if(NOT VARNEL_NPM)
        message(FATAL_ERROR "The Windows build needs SQLite from the npm package "
            "${VARNEL_SQLITE_NPM_PACKAGE}, and npm was not found (apt-get install npm), or set "
            "VARNEL_SQLITE_TARBALL to a copy of ${VARNEL_SQLITE_TARBALL_NAME}.")
    endif()
    file(REMOVE ${varnel_sqlite_tarball})
    message(STATUS "Fetching SQLite: npm pack ${VARNEL_SQLITE_NPM_PACKAGE}")
    execute_process(
        COMMAND ${VARNEL_NPM} pack ${VARNEL_SQLITE_NPM_PACKAGE} --pack-destination
                ${varnel_sqlite_dir} --silent
        WORKING_DIRECTORY ${varnel_sqlite_dir}
        RESULT_VARIABLE npm_status
        OUTPUT_VARIABLE npm_output
        ERROR_VARIABLE npm_output
        TIMEOUT 300)
    if(NOT npm_status EQUAL 0)
        message(FATAL_ERROR "npm pack ${VARNEL_SQLITE_NPM_PACKAGE} failed (${npm_status}):\n"
            "${npm_output}")
    endif()
    varnel_sqlite_check_tarball(varnel_sqlite_ok)
endif()
if(NOT varnel_sqlite_ok)
    message(FATAL_ERROR "No ${VARNEL_SQLITE_TARBALL_NAME} with SHA-256 "
        "${VARNEL_SQLITE_TARBALL_SHA256} at ${varnel_sqlite_tarball}.")
endif()

# Unpacked again only when the tarball changed.
set(varnel_sqlite_source ${varnel_sqlite_dir}/package/deps/sqlite3)
set(varnel_sqlite_stamp ${varnel_sqlite_dir}/unpacked.sha256)
set(varnel_sqlite_unpacked "")
if(EXISTS ${varnel_sqlite_stamp})
    file(READ ${varnel_sqlite_stamp} varnel_sqlite_unpacked)
endif()
if(NOT varnel_sqlite_unpacked STREQUAL VARNEL_SQLITE_TARBALL_SHA256 OR
   NOT EXISTS ${varnel_sqlite_source}/sqlite3.c OR NOT EXISTS ${varnel_sqlite_source}/sqlite3.h)
    file(REMOVE_RECURSE ${varnel_sqlite_dir}/package)
    file(ARCHIVE_EXTRACT INPUT ${varnel_sqlite_tarball} DESTINATION ${varnel_sqlite_dir}
        PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
    file(WRITE ${varnel_sqlite_stamp} ${VARNEL_SQLITE_TARBALL_SHA256})
endif()

enable_language(C)
add_library(varnel_sqlite3 STATIC ${varnel_sqlite_source}/sqlite3.c)
target_include_directories(varnel_sqlite3 SYSTEM PUBLIC ${varnel_sqlite_source})
# One connection per thread at a time, as the registry uses it; no extensions loaded from disk;
# double-quoted strings are an error, not a silent column name.
target_compile_definitions(varnel_sqlite3 PRIVATE SQLITE_THREADSAFE=2 SQLITE_DQS=0
    SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_OMIT_DEPRECATED
    SQLITE_USE_URI=0)
# Its own code, not ours: its warnings are not the build's.
target_compile_options(varnel_sqlite3 PRIVATE -w)
