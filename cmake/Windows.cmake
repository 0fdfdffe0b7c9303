# The Windows build: MinGW-w64 with the Qt toolchain file (scripts/windows.sh
# configures it; CMakePresets.json "windows"). The top-level CMakeLists.txt
# hands over to this file on Windows: the same libraries, each with its
# Windows sources swapped in (vindrel_windows_sources), the window, the
# scanner and the unit tests, which ctest runs under Wine.
#
# Not built for Windows: korvan-sim (the lab's simulator is the Linux one),
# the SVG renderer (a host tool; the images come from the native build),
# the Linux install rules and packages.

# Windows 10 API level; the UTF-16 "W" functions by default; windows.h
# without Winsock 1 (winsock2.h comes first where needed) and without the
# min/max macros that break std::min.
# _POSIX_THREAD_SAFE_FUNCTIONS: MinGW's localtime_r and gmtime_r (over
# localtime_s), which the shared code uses as on POSIX.
target_compile_definitions(vindrel_common INTERFACE
  _WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  _POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# The PE linker has no -z relro/now (cmake/CommonSettings.cmake); its own
# hardening, address space layout randomisation at 64-bit entropy and a
# non-executable stack and heap, is asked for instead.
get_target_property(_link_options vindrel_common INTERFACE_LINK_OPTIONS)
if(_link_options)
  list(REMOVE_ITEM _link_options "LINKER:-z,relro" "LINKER:-z,now")
  set_property(TARGET vindrel_common PROPERTY INTERFACE_LINK_OPTIONS ${_link_options})
endif()
target_link_options(vindrel_common INTERFACE LINKER:--dynamicbase LINKER:--nxcompat LINKER:--high-entropy-va)
# The stack canaries and checked string functions of the shared settings live
# in libssp on MinGW: linked in statically, so that no libssp-0.dll ships.
if(NOT VINDREL_SANITIZE)
  target_link_libraries(vindrel_common INTERFACE -l:libssp.a)
endif()

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

# The images the skins name, rendered by the native build (the Windows Qt has
# no QtSvg, and the renderer is a host program): scripts/windows.sh builds
# them first.
set(VINDREL_PREBUILT_RES "${PROJECT_SOURCE_DIR}/build/bin/res" CACHE PATH
  "The res/ folder of a native build, whose PNGs the Windows build ships")

# vindrel.rc for a program: its icon, version and manifest.
# vindrel_windows_resources(target "File description" exe-name)
function(vindrel_windows_resources target description exe)
  set(VINDREL_RC_DESCRIPTION "${description}")
  set(VINDREL_RC_EXE "${exe}")
  set(VINDREL_RC_ICON "${CMAKE_BINARY_DIR}/res/vindrel.ico")
  set(VINDREL_RC_MANIFEST "${PROJECT_SOURCE_DIR}/dist/windows/vindrel.manifest")
  configure_file("${PROJECT_SOURCE_DIR}/dist/windows/vindrel.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc" @ONLY)
  target_sources(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  set_property(SOURCE "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc" APPEND PROPERTY OBJECT_DEPENDS
    "${CMAKE_BINARY_DIR}/res/vindrel.ico" "${PROJECT_SOURCE_DIR}/dist/windows/vindrel.manifest")
  add_dependencies(${target} vindrel_res)
endfunction()

if(VINDREL_WITH_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets UiTools Test)
endif()
include(cmake/WindowsResources.cmake)

add_subdirectory(src/base)
add_subdirectory(src/net)
add_subdirectory(src/discovery)
add_subdirectory(src/i18n)
add_subdirectory(src/diagnosis)
add_subdirectory(src/actions)
if(VINDREL_WITH_GUI)
  add_subdirectory(src/uilib)
  add_subdirectory(src/msgwnd)
  add_subdirectory(src/mainwnd)
endif()
add_subdirectory(src/app)
add_subdirectory(tools/vindrel-scan)
if(TARGET vindrel)
  vindrel_windows_resources(vindrel "Vindrel" "vindrel.exe")
endif()
vindrel_windows_resources(vindrel-scan "Vindrel command-line search" "vindrel-scan.exe")
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
