# What `cmake --install` puts where, and the Debian package `cpack -G DEB`
# makes of it. Only the game is installed: no test, tool or header.
#
# The game's files follow CMAKE_INSTALL_BINDIR and CMAKE_INSTALL_DATADIR
# (games/ and share/games/ for a /usr install, see BuildConfig.cmake); what the
# desktop and the package tools read goes under DATAROOTDIR (share/), where
# they look for it whatever the game's own layout.

# The AppStream id; the desktop entry keeps its short name, lumenfall.desktop.
set(LUMENFALL_APP_ID org.lumenfall.lumenfall)
set(LUMENFALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/lumenfall)
set(PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS lumenfall RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/lumenfall
    PATTERN ".keep" EXCLUDE PATTERN "icons" EXCLUDE)

# The menu entry starts the game by its full path, so it works when the
# install's bin folder is not on PATH (~/.local/bin, /usr/games for some users).
configure_file(${PACKAGING}/lumenfall.desktop.in ${PACKAGING_OUT}/lumenfall.desktop @ONLY)
install(FILES ${PACKAGING_OUT}/lumenfall.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PACKAGING}/${LUMENFALL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
foreach(size 16 32 48 128 256)
    install(FILES data/icons/lumenfall-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps RENAME lumenfall.png)
endforeach()
install(FILES data/icons/lumenfall.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# Debian wants the manual page and the changelog compressed with gzip -9 and no
# time stamp (-n), so that rebuilding gives the same bytes. Made when CMake
# configures, so that an install never depends on which targets were built.
configure_file(${PACKAGING}/lumenfall.6.in ${PACKAGING_OUT}/lumenfall.6 @ONLY)
foreach(pair "${PACKAGING_OUT}/lumenfall.6|lumenfall.6.gz" "${PACKAGING}/changelog|changelog.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 input)
    list(GET pair 1 output)
    execute_process(COMMAND gzip -9 -n -c ${input}
        OUTPUT_FILE ${PACKAGING_OUT}/${output} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip could not compress ${input}")
    endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PACKAGING}/changelog)
install(FILES ${PACKAGING_OUT}/lumenfall.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PACKAGING}/copyright ${PACKAGING_OUT}/changelog.gz DESTINATION ${LUMENFALL_DOCDIR})

# Exhibition mode's two ways to start at login, as examples that nothing
# activates: an autostart entry, and a systemd user unit that also restarts
# the game after a failure. README.md says how to use either.
set(LUMENFALL_EXAMPLES_DIR ${LUMENFALL_DOCDIR}/examples)
set(LUMENFALL_EXAMPLES_FULL_DIR ${CMAKE_INSTALL_PREFIX}/${LUMENFALL_EXAMPLES_DIR})
foreach(example lumenfall-exhibit.desktop lumenfall-exhibit.service)
    configure_file(${PACKAGING}/${example}.in ${PACKAGING_OUT}/${example} @ONLY)
    install(FILES ${PACKAGING_OUT}/${example} DESTINATION ${LUMENFALL_EXAMPLES_DIR})
endforeach()

# --- cpack -G DEB ---------------------------------------------------------------
# tools/package configures a tree for /usr with Debian's build flags and runs
# this; cmake/PackageChecks.cmake refuses a package whose compiled-in data
# folder would not be where the package puts the data.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumenfall)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Lumenfall developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "art game: type three words to clear a storm of glitching news")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageChecks.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumenfall maintainers <maintainers@lumenfall.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The run-time libraries the executable links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A wall of glitching news photographs covers the screen while recorded
bulletins play over each other. Typing is the only way to play: the right
words fade the pictures and the voices away, one region at a time, and
reveal what lies behind them.
.
Lumenfall needs an X desktop session with OpenGL 2.")
include(CPack)
