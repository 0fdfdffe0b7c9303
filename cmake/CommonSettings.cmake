# One target carries the settings every library and program shares.
file(RELATIVE_PATH VINDREL_DATA_DIR_FROM_BIN "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/vindrel")
add_library(vindrel_common INTERFACE)
target_compile_features(vindrel_common INTERFACE cxx_std_20)
target_compile_options(vindrel_common INTERFACE
  -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor
  $<$<BOOL:${VINDREL_WERROR}>:-Werror>)
target_compile_definitions(vindrel_common INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT
  # The one version number, from project() in the top CMakeLists.txt.
  VINDREL_VERSION="${PROJECT_VERSION}"
  # Where an installed program finds its skins and images, relative to the
  # folder of its executable ("../share/vindrel" for the usual layout).
  VINDREL_DATA_DIR_FROM_BIN="${VINDREL_DATA_DIR_FROM_BIN}")

# The hardening Debian and its neighbours build packages with: checked string
# and memory functions, stack canaries, a read-only relocation table. Sanitizer
# and fuzz builds go without: they check more, and the checked wrappers hide
# calls from them. Fortification needs an optimised build.
if(NOT VINDREL_SANITIZE AND NOT VINDREL_FUZZ)
  target_compile_options(vindrel_common INTERFACE
    -fstack-protector-strong
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  target_link_options(vindrel_common INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()

# Build tools (VINDREL_BUILD_TOOL set on the target) go without: they are not
# the product, and Qt's own render threads would stop a TSan build.
if(VINDREL_SANITIZE)
  set(_vindrel_sanitized "$<NOT:$<BOOL:$<TARGET_PROPERTY:VINDREL_BUILD_TOOL>>>")
  target_compile_options(vindrel_common INTERFACE
    "$<${_vindrel_sanitized}:-fsanitize=${VINDREL_SANITIZE};-fno-omit-frame-pointer;-fno-sanitize-recover=all>")
  target_link_options(vindrel_common INTERFACE "$<${_vindrel_sanitized}:-fsanitize=${VINDREL_SANITIZE}>")
endif()

set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

# Adds a subfolder only once it exists, so that subsystems can land one by one.
function(vindrel_add_subdirectory_if_present dir)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
    add_subdirectory(${dir})
  endif()
endfunction()
