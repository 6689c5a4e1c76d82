# Installation (cmake --install) and the Debian package (cpack -G DEB): the two
# programs, the desktop entry and the application icon, in the usual places
# under the prefix.
include(GNUInstallDirs)

install(TARGETS dotwright dotwright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/dotwright.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/dotwright.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)

set(DOTWRIGHT_MAINTAINER "Dotwright developers <dotwright@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dotwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Dotwright)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "sprite editors and picture converters for 128x64 displays")
set(CPACK_PACKAGE_DESCRIPTION
    "Dotwright turns mouse painting into .db sprite code for assembly-language
programs, and the top-left 128 x 64 pixels of a picture into black-and-white
or four-grey assembler data, plain or run-length compressed.

dotwright-cli does the same without a window, for build scripts.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DOTWRIGHT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Qt 6 runtime libraries (with the picture format and platform plugins
# that come with them) are found from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

include(CPack)
