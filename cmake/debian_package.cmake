# Debian packages with CPack (cpack -G DEB in the build folder, or
# scripts/package.sh): zubmp3 with the three libraries, the application, the
# headers, the CMake and pkg-config files, the README and the man page; and,
# when the Qt desktop host is built, zubmp3-gui with its parts, so that the
# command-line package never pulls Qt. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr for Debian's multiarch library folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zubmp3)
set(CPACK_PACKAGE_VENDOR "The zubmp3 project")
set(CPACK_PACKAGE_CONTACT "The zubmp3 project <developers@zubmp3.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://zubmp3.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # zubmp3_1.2.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Dependencies from the libraries the binaries need (libmp3lame0, libstdc++6,
# Qt for the GUI, ...); our own libraries in their private folder are known
# to dpkg-shlibdeps through the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# Each description follows the summary line (the project's description).
set(CPACK_DEBIAN_ZUBMP3_PACKAGE_NAME zubmp3)
set(CPACK_COMPONENT_ZUBMP3_DESCRIPTION "Converts 16-bit PCM WAV files into MP3 through LAME, and reads, writes and
removes ID3v1 and ID3v2 tags: the control ZUBEncode for C++ applications
(library, headers, CMake package and pkg-config file) and the command-line
application zubmp3.")
set(CPACK_PACKAGE_DESCRIPTION "${CPACK_COMPONENT_ZUBMP3_DESCRIPTION}")  # when it is the only package
set(CPACK_DEBIAN_GUI_PACKAGE_NAME zubmp3-gui)
set(CPACK_COMPONENT_GUI_DEPENDS zubmp3)
set(CPACK_COMPONENT_GUI_DESCRIPTION "The desktop host: the ZUBEncode control on a Qt form (libzubmp3ctl-qt)
and the application zubmp3-gui.")

include(CPack)
