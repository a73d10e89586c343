# The Windows side: Kelvane.exe, its demo flavour, and the console program
# that drives them in the end-to-end tests.
enable_language(RC)

set(KELVANE_WIN_DEFS _WIN32_WINNT=0x0500 WINVER=0x0500 _WIN32_IE=0x0500 WIN32_LEAN_AND_MEAN NOMINMAX)
target_compile_definitions(kelvane_core PUBLIC ${KELVANE_WIN_DEFS})

# Windows 2000 loads only images whose PE header asks for 5.0 or less.
set(KELVANE_LINK_FLAGS -static -static-libgcc -static-libstdc++ -s
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,0
    -Wl,--major-os-version,5,--minor-os-version,0)

file(GLOB KELVANE_WIN_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp ui/win32/*.cpp app/win32/*.cpp)
set(KELVANE_WIN_LIBS kelvane_core comctl32 comdlg32 advapi32 shell32 user32 gdi32)

foreach(flavour Kelvane KelvaneDemo)
    add_executable(${flavour} WIN32 ${KELVANE_WIN_SOURCES} res/Kelvane.rc)
    target_link_libraries(${flavour} PRIVATE ${KELVANE_WIN_LIBS})
    target_link_options(${flavour} PRIVATE ${KELVANE_LINK_FLAGS})
endforeach()
# The demo flavour differs only in its display adapter: a simulated ATI card.
target_compile_definitions(KelvaneDemo PRIVATE KELVANE_DEMO=1)

file(GLOB KELVANE_DRIVER_SOURCES CONFIGURE_DEPENDS tests/e2e/driver/*.cpp)
if(KELVANE_DRIVER_SOURCES)
    add_executable(kvdriver ${KELVANE_DRIVER_SOURCES})
    target_include_directories(kvdriver PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_definitions(kvdriver PRIVATE ${KELVANE_WIN_DEFS})
    target_link_libraries(kvdriver PRIVATE user32 advapi32 comctl32)
    target_link_options(kvdriver PRIVATE ${KELVANE_LINK_FLAGS})
endif()

# The help file, compiled from the pages in help/.
add_subdirectory(help)

# Stand-ins for system tools that Wine lacks or that the tests observe.
add_subdirectory(tests/e2e/standins)

# The start-up measurement of scripts/bench.sh: an empty window with
# Kelvane's manifest as the yardstick, and the probe that times both.
add_executable(emptywindow WIN32 tests/bench/emptywindow.cpp tests/bench/emptywindow.rc)
target_include_directories(emptywindow PRIVATE ${CMAKE_SOURCE_DIR}/res)
target_compile_definitions(emptywindow PRIVATE ${KELVANE_WIN_DEFS})
target_link_libraries(emptywindow PRIVATE comctl32 user32 gdi32)
target_link_options(emptywindow PRIVATE ${KELVANE_LINK_FLAGS})
add_executable(startprobe tests/bench/startprobe.cpp)
target_compile_definitions(startprobe PRIVATE ${KELVANE_WIN_DEFS})
target_link_options(startprobe PRIVATE ${KELVANE_LINK_FLAGS})
