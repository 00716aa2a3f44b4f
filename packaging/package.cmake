# The Debian package of everything `cmake --install` puts in place, made by
# `cpack` in the build folder (scripts/package.sh builds and packs).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvo4)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The TALVO-4 tool developers")
set(CPACK_PACKAGE_CONTACT "The TALVO-4 tool developers <talvo4@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion tool for the TALVO-4 USB video device")
set(CPACK_PACKAGE_DESCRIPTION
    "The TALVO-4 is a USB video device that works beside an OMBRIX-3 video
processor. talvo4 finds it at start-up and offers an on-screen remote
control, still capture of its picture saved as 24-bit bitmaps, and its four
image slots; its windows are in Japanese. talvo4ctl does the same from a
terminal. A udev rule gives the user at the seat access to the device.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from the binaries; the windows' Japanese font from us.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
