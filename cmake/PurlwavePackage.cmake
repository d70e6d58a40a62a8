# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: cpack -G DEB in the build folder, or
#   cpack --config build/default/CPackConfig.cmake
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME purlwave)
set(CPACK_PACKAGE_VENDOR "Purlwave developers")
set(CPACK_PACKAGE_CONTACT "Purlwave developers <support@purlwave.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "WAV to MP3 encoder front end")
set(CPACK_PACKAGE_DESCRIPTION "Purlwave turns WAV files into MP3 files. Drag WAV files into its list,
pick a preset or type your own encoder options, and press Encode. It runs the
LAME encoder once per file, shows each MP3 growing, and says which files failed
and why.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# One package of what an install holds, and the component "deb" (data/CMakeLists.txt)
# that an install leaves out.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/"
  "${PROJECT_BINARY_DIR};${PROJECT_NAME};deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PurlwaveStripComment.cmake)

# The program's own package, not a native one: the first Debian revision of
# each release (data/changelog.Debian names the same version).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Purlwave developers <support@purlwave.example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The Qt libraries and the rest of what the program links come from
# dpkg-shlibdeps. The window also needs Qt's platform plugins, which the Qt GUI
# library only recommends, and the encoder it runs; the batch needs libsndfile,
# which it loads when a run first needs it (batch/sndfileapi.h), where
# dpkg-shlibdeps does not see it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, lame, libsndfile1")
# F1 opens the help file through the desktop's file opener, in a viewer for
# compiled HTML help. In a Wayland session without XWayland, Qt aborts at start
# without its Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, xchm, qt6-wayland")

include(CPack)
