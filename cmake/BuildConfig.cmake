# Settings that must be known before the first target: the install layout the
# program compiles in, its version, and how source paths appear in its log.
# Writes BuildConfig.h into the build tree and puts it on every include path.

# Debian keeps games in /usr/games and their data in /usr/share/games. An
# install into /usr, which is what the package is, takes that layout unless the
# folders are given; other prefixes (/usr/local, ~/.local) keep bin/ and share/.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(CMAKE_INSTALL_BINDIR games CACHE PATH "User executables (bin)")
    set(CMAKE_INSTALL_DATADIR share/games CACHE PATH "Read-only architecture-independent data (DATAROOTDIR)")
endif()
include(GNUInstallDirs)

# The game's own data folder once installed, and the same folder seen from the
# installed executable's folder, so that a copy of the install moved elsewhere
# (an unpacked package, cmake --install --prefix) still finds its own data.
set(LUMENFALL_INSTALL_DATADIR ${CMAKE_INSTALL_FULL_DATADIR}/lumenfall)
file(RELATIVE_PATH LUMENFALL_INSTALL_DATADIR_FROM_BINDIR
    ${CMAKE_INSTALL_FULL_BINDIR} ${LUMENFALL_INSTALL_DATADIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildConfig.h.in ${CMAKE_BINARY_DIR}/generated/BuildConfig.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)

# __FILE__ (the "Debug:" lines, failed checks) and the debug information name
# source files relative to the source tree, not by the build machine's path.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
