# The Windows build's program folder resources (the native build's res/ does
# this by rendering; here it copies): the skins beside the executables, the
# PNGs the native build rendered under res/, and the program icon
# (res/vindrel.ico, for vindrel.rc) made from the rendered icon sizes.
# Target vindrel_res, as on Linux.

set(_res_in "${VINDREL_PREBUILT_RES}")
set(_res_out "${VINDREL_BIN_DIR}/res")
if(NOT EXISTS "${_res_in}/vindrel.png")
  message(FATAL_ERROR "No rendered images in ${_res_in}: build them natively first "
          "(cmake --preset default && cmake --build --preset default --target vindrel_res; "
          "scripts/windows.sh does), or point VINDREL_PREBUILT_RES at a native build's bin/res")
endif()
find_program(VINDREL_IMAGEMAGICK_CONVERT convert REQUIRED DOC "ImageMagick's convert, which makes the .ico")

# Every image the windows name, not the icon theme copies (the .ico carries
# those sizes) nor the Linux desktop files. Re-globbed when the folder changes.
file(GLOB_RECURSE _pngs CONFIGURE_DEPENDS RELATIVE "${_res_in}" "${_res_in}/*.png")
set(_outputs "")
foreach(png IN LISTS _pngs)
  if(png MATCHES "^icons/")
    continue()
  endif()
  add_custom_command(OUTPUT "${_res_out}/${png}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${_res_in}/${png}" "${_res_out}/${png}"
    DEPENDS "${_res_in}/${png}" VERBATIM)
  list(APPEND _outputs "${_res_out}/${png}")
endforeach()

# 16 to 256 px, each size its own drawing where the native build drew one.
set(_icon_sizes "")
foreach(size 16 24 32 48 64 128 256)
  list(APPEND _icon_sizes "${_res_in}/icons/hicolor/${size}x${size}/apps/vindrel.png")
endforeach()
add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/res/vindrel.ico"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/res"
  COMMAND "${VINDREL_IMAGEMAGICK_CONVERT}" ${_icon_sizes} "${CMAKE_BINARY_DIR}/res/vindrel.ico"
  DEPENDS ${_icon_sizes}
  COMMENT "Making vindrel.ico" VERBATIM)
list(APPEND _outputs "${CMAKE_BINARY_DIR}/res/vindrel.ico")
add_custom_target(vindrel_res ALL DEPENDS ${_outputs})

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/res")
foreach(skin vindrel.xml listitem.xml menu.xml message.xml lang.xml)
  if(EXISTS "${PROJECT_SOURCE_DIR}/res/${skin}")
    configure_file("${PROJECT_SOURCE_DIR}/res/${skin}" "${VINDREL_BIN_DIR}/${skin}" COPYONLY)
  endif()
endforeach()
