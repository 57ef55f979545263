# The Windows program: Win32 implementations of the seam, the GUI and the resources.
add_library(ql_win32 STATIC ${QL_WIN32_SOURCES})
target_link_libraries(ql_win32 PUBLIC ql_core setupapi comdlg32 comctl32 shell32 gdi32 user32 advapi32)
set(QL_HOST_PLATFORM ql_win32)

file(GLOB QL_RC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/*.rc)
# The entry point chooses the machine in one file, and the build chooses that file: without the
# simulator the program is linked without sim/ and reads no QUORRELITE_MACHINE.
set(QL_MAIN ${CMAKE_SOURCE_DIR}/src/app/win32/main/winmain.cpp)
if(QL_SIMULATOR)
  list(APPEND QL_MAIN ${CMAKE_SOURCE_DIR}/src/app/win32/main/run_machine_simulated.cpp)
else()
  list(APPEND QL_MAIN ${CMAKE_SOURCE_DIR}/src/app/win32/main/run_machine_real.cpp)
endif()
add_executable(quorrelite WIN32 ${QL_MAIN} ${QL_RC})
# windres writes no dependency file: without these the program would link pictures and texts
# older than the ones in the tree.
file(GLOB QL_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/art/*
     ${CMAKE_SOURCE_DIR}/src/resources/*.h ${CMAKE_SOURCE_DIR}/src/resources/*.txt)
set_source_files_properties(${QL_RC} PROPERTIES OBJECT_DEPENDS "${QL_RC_INPUTS}")
target_link_libraries(quorrelite PRIVATE ql_win32 $<$<BOOL:${QL_SIMULATOR}>:ql_sim>)
# Release builds ship stripped, without the sections nothing reaches.
target_link_options(quorrelite PRIVATE -static -Wl,--gc-sections
                    $<$<CONFIG:Release,MinSizeRel>:-s>)
