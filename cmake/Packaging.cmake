# The Debian package, made by CPack from the install tree (scripts/package.sh):
# build/vindrel_<version>_<arch>.deb. Its dependencies on shared libraries
# come from dpkg-shlibdeps (dpkg-dev). Configure with
# -DCMAKE_INSTALL_PREFIX=/usr for it: the package holds exactly what
# `cmake --install` lays out, and only that prefix puts the ufw profile in /etc.

set(VINDREL_PACKAGE_MAINTAINER "The Vindrel developers <maintainers@vindrel.invalid>"
    CACHE STRING "The package's Maintainer field: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vindrel)
set(CPACK_PACKAGE_VENDOR "The Vindrel developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find the Korvan storage servers on the local network")
set(CPACK_PACKAGE_DESCRIPTION [=[
Vindrel lists the Korvan network storage servers on the local network. Every
server that answers its broadcast probe shows up as a row with its name, IP
address, port, version, serial number, hardware address, device type, Korvan ID
and up time; a double-click opens the server's web page. It stays in the
system tray and speaks English and Simplified Chinese.

The package also holds vindrel-scan, the same search for scripts and
terminals (a table, JSON or CSV), and korvan-sim, simulated servers for tests
inside private network namespaces. A firewalld service and a ufw application
profile that let the servers' replies (UDP port 6000) in are installed but
not enabled.]=])

# The package holds the configured tree; absolute destinations (the ufw
# profile in /etc) need the DESTDIR way of staging it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VINDREL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a CJK font every Chinese text shows as empty boxes. Without Qt's
# Wayland plugin a Wayland session runs the window through XWayland, where
# there is one, and not at all where there is none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firewalld | ufw")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What Debian wants beside the files: a changelog (one entry, this release's)
# and the list of files under /etc that dpkg must treat as the
# administrator's (conffiles: kept when edited, on upgrade and removal).
set(_debian_dir "${CMAKE_BINARY_DIR}/dist/debian")
execute_process(COMMAND date -u -R -d "${VINDREL_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE VINDREL_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file("${PROJECT_SOURCE_DIR}/dist/debian/changelog.in" "${_debian_dir}/changelog" @ONLY)
add_custom_command(
  OUTPUT "${_debian_dir}/changelog.gz"
  COMMAND ${VINDREL_GZIP} -9nf -k changelog
  DEPENDS "${_debian_dir}/changelog"
  WORKING_DIRECTORY "${_debian_dir}"
  VERBATIM)
add_custom_target(vindrel_debian_changelog ALL DEPENDS "${_debian_dir}/changelog.gz")
install(FILES "${_debian_dir}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/vindrel")
# The license text, once the project has one, is the package's copyright file.
if(EXISTS "${PROJECT_SOURCE_DIR}/LICENSE")
  install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/vindrel"
          RENAME copyright)
endif()

if(IS_ABSOLUTE "${VINDREL_UFW_PROFILE_DIR}")
  set(_ufw_profile "${VINDREL_UFW_PROFILE_DIR}/vindrel")
else()
  set(_ufw_profile "${CMAKE_INSTALL_PREFIX}/${VINDREL_UFW_PROFILE_DIR}/vindrel")
endif()
if(IS_ABSOLUTE "${VINDREL_WATCH_ENV_DIR}")
  set(_watch_env "${VINDREL_WATCH_ENV_DIR}/vindrel-watch")
else()
  set(_watch_env "${CMAKE_INSTALL_PREFIX}/${VINDREL_WATCH_ENV_DIR}/vindrel-watch")
endif()
file(WRITE "${_debian_dir}/conffiles" "${_ufw_profile}\n${_watch_env}\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${_debian_dir}/conffiles")

include(CPack)
