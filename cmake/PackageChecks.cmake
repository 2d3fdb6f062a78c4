# Read by cpack before it makes each package (CPACK_PROJECT_CONFIG_FILE).
# The executable looks for its data in the install data folder it was built
# with; a Debian package of a tree configured for another prefix would install
# a game that cannot find its data, so refuse to make one.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL "/usr")
    message(FATAL_ERROR "The Debian package needs a tree configured with -DCMAKE_INSTALL_PREFIX=/usr "
        "(this one is for ${CPACK_PACKAGING_INSTALL_PREFIX}); tools/package makes one.")
endif()
