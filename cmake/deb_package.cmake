# The Debian packages (`cpack -G DEB`, run by scripts/package), one for each
# install component of packaging/: lumorafm (the window program) and
# lumorafm-cli (the command-line program, which pulls in no Qt), both under
# /usr, with the runtime libraries found by dpkg-shlibdeps as dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumorafm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${LUMORA_INSTALLED_COMPONENTS})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMORA_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_APP_PACKAGE_NAME lumorafm)
set(CPACK_DEBIAN_APP_DESCRIPTION
    "album downloader for the LumoraFM audio platform\n\
Searches the albums of the LumoraFM audio platform, lists their tracks\n\
and downloads the chosen ones, each over up to ten parallel connections.\n\
This package holds lumorafm, the desktop program.")
# Not linked, but needed at run time: the layout's font and the certificates
# the HTTPS search is checked against.
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS "fonts-wqy-microhei, ca-certificates")
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS lumorafm-cli)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME lumorafm-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "album downloader for the LumoraFM audio platform, command line\n\
Searches the albums of the LumoraFM audio platform, lists their tracks\n\
and downloads them, each over up to ten parallel connections, from\n\
scripts and machines without a display. It follows albums and fetches\n\
their new tracks once a day through a systemd user timer.")
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS ca-certificates)

include(CPack)
