# The Debian package (`cpack -G DEB`, run by scripts/package): the installed
# files of packaging/ under /usr, with the runtime libraries found by
# dpkg-shlibdeps as dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumorafm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "album downloader for the LumoraFM audio platform")
set(CPACK_PACKAGE_DESCRIPTION
    "Searches the albums of the LumoraFM audio platform, lists their tracks\n\
and downloads the chosen ones, each over up to ten parallel connections.\n\
lumorafm is the desktop program.")
if(TARGET lumorafm-cli)
  string(APPEND CPACK_PACKAGE_DESCRIPTION
         "\nlumorafm-cli does the same from scripts and machines without a display.")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMORA_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, but needed at run time: the layout's font and the certificates
# the HTTPS search is checked against.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, ca-certificates")

include(CPack)
