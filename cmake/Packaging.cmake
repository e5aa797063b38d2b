# cpack -G DEB in the build folder makes tarnwick_<version>_<arch>.deb from what cmake --install puts
# where (cmake/Install.cmake), under /usr. Its dependencies are worked out from the programs
# themselves by Debian's dpkg-shlibdeps (package dpkg-dev), so they name exactly the shared libraries
# the programs load. Install it with: apt install ./tarnwick_<version>_amd64.deb
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "the Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "the Tarnwick developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "a log cabin lit by the sun, and balls that punch holes through it")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tarnwick is a small interactive 3D scene on its own engine, Vorlane: a log cabin on a floor lit by "
    "a shadow-casting sun, a free-flying camera, and physics-simulated balls that punch round holes "
    "through the cabin's walls and roof. It draws with OpenGL 4.6. With it come fbxinfo, which says "
    "what is in an FBX file, and fbxrender, which draws one into a PNG picture with no display.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYRIGHT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs go out without their debugging information, whatever the build type.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
