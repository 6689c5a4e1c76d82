# Installation (cmake --install) and the Debian package (cpack -G DEB): the two
# programs here; the manual pages come from docs/man, the desktop entry,
# metadata, icons and completion from resources/.
install(TARGETS dotwright dotwright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(DOTWRIGHT_MAINTAINER "Dotwright developers <dotwright@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
# The packaging's own revision of the release; 1.0.0-1 is the first package of 1.0.0.
set(DOTWRIGHT_DEBIAN_REVISION 1)
set(debian_version ${PROJECT_VERSION}-${DOTWRIGHT_DEBIAN_REVISION})

# The version lives in project() and is repeated where Debian and AppStream
# read it; a release that forgets one of them stops here instead of shipping
# a package whose changelog or metadata names another version.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^dotwright \\(${debian_version}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog does not start with version "
                        "${debian_version}: ${changelog_top}")
endif()
file(READ ${PROJECT_SOURCE_DIR}/resources/org.dotwright.Dotwright.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "resources/org.dotwright.Dotwright.metainfo.xml has no release "
                        "${PROJECT_VERSION}")
endif()

find_program(GZIP gzip REQUIRED)
# Debian's place for them is the package's name, not the project's
# (CMAKE_INSTALL_DOCDIR would give share/doc/Dotwright).
set(package_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/dotwright)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
            ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian
    COMMAND ${GZIP} -9 --no-name --force ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
    VERBATIM)
add_custom_target(dotwright_debian_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
    DESTINATION ${package_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dotwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Dotwright)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "sprite editors and picture converters for 128x64 displays")
set(CPACK_PACKAGE_DESCRIPTION
    "Dotwright is a tool box for people who write assembly-language programs
for a small 128 x 64-pixel display, black and white or four-level grey.

Four 8 x 8 sprite editors turn mouse painting into .db sprite code and read
such code back. Two picture converters turn the top-left 128 x 64 pixels of a
BMP, GIF, JPEG, ICO or PNG picture into black-and-white or four-grey
assembler data, plain or run-length compressed.

dotwright-cli writes the same files without a window, for build scripts.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DOTWRIGHT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DOTWRIGHT_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Qt 6 runtime libraries (with the picture format and platform plugins
# that come with them) are found from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows are laid out for Tahoma, which Debian ships in fonts-wine; they
# work without it, in the toolkit's default font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wine)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories the install step creates get these rather than the umask's,
# which in some set-ups leaves them group-writable (0775), against policy.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
