# The cross build for Windows: MinGW-w64 with the Qt toolchain file
# (scripts/windows.sh configures it). The top-level CMakeLists.txt hands over
# to this file on Windows while the port is under way. So far the Qt-free
# libraries and their tests build; ctest runs the tests under Wine.

# Windows 10 API level; the UTF-16 "W" functions by default; windows.h
# without Winsock 1 (winsock2.h comes first where needed) and without the
# min/max macros that break std::min.
target_compile_definitions(vindrel_common INTERFACE
  _WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

# Tests run through the toolchain's emulator (Wine). Give it the build tree's
# own prefix, never ~/.wine, keep Wine's own chatter off the test output, and
# keep a fresh prefix from offering to download Mono and Gecko.
set(VINDREL_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "The Wine prefix the tests run in")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    env "WINEPREFIX=${VINDREL_WINEPREFIX}" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
    ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

# vindrel_windows_sources(target REPLACE posix.cpp... WITH windows.cpp...)
# Swaps a library's POSIX sources for their Windows side (X_win.cpp beside
# X.cpp). A REPLACE entry the library does not list stops the configure, so
# that a renamed file cannot silently drop out of the Windows build.
function(vindrel_windows_sources target)
  cmake_parse_arguments(W "" "" "REPLACE;WITH" ${ARGN})
  get_target_property(sources ${target} SOURCES)
  foreach(file IN LISTS W_REPLACE)
    if(NOT file IN_LIST sources)
      message(FATAL_ERROR "vindrel_windows_sources: ${target} has no source ${file}")
    endif()
  endforeach()
  list(REMOVE_ITEM sources ${W_REPLACE})
  set_property(TARGET ${target} PROPERTY SOURCES ${sources} ${W_WITH})
endfunction()

if(VINDREL_WITH_GUI)
  # The window layer follows once its rewrite has landed. Its images are not
  # rendered here (QtSvg is a host tool's need): scripts/windows.sh copies the
  # PNGs a native build made.
  message(STATUS "Windows build: the Qt window layer is not ported yet; building the Qt-free libraries only")
endif()

add_subdirectory(src/base)
add_subdirectory(src/discovery)
add_subdirectory(src/i18n)
add_subdirectory(src/app)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
