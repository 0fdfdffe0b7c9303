# The libraries every build finds the same way, natively and for Windows
# (there from the deps prefix unpacked over the Qt one). scripts/setup.sh
# installs them.
find_package(nlohmann_json 3 CONFIG REQUIRED)
# GLOBAL: the i18n and firewall readers in different folders share it.
find_package(tinyxml2 CONFIG REQUIRED GLOBAL)
# The server book, its tests and its benchmark.
find_package(SQLite3 REQUIRED GLOBAL)

# utf8proc ships no CMake config, on Debian nor in the deps prefix.
find_path(UTF8PROC_INCLUDE_DIR utf8proc.h REQUIRED)
find_library(UTF8PROC_LIBRARY NAMES utf8proc libutf8proc REQUIRED)
add_library(utf8proc::utf8proc UNKNOWN IMPORTED GLOBAL)
set_target_properties(utf8proc::utf8proc PROPERTIES
  IMPORTED_LOCATION "${UTF8PROC_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${UTF8PROC_INCLUDE_DIR}")
