# The dialog sources that the application library compiles: every source file in this folder.
file(GLOB VARNEL_DIALOG_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
list(APPEND VARNEL_DIALOG_SOURCES ${VARNEL_DIALOG_FILES})
