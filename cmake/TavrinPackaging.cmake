# Installing Tavrin as a Linux application, and its Debian packages (cpack -G DEB):
#   tavrin         the client and tavrin-cli, their shared files under
#                  share/tavrin, the desktop entry, icon, metainfo and manuals
#   tavrin-server  the service, its systemd unit and configuration file
#   libtavrin0     the engine's shared library
#   libtavrin-dev  its header, the development link and a pkg-config file
# The build folder stays a portable copy: nothing here changes where the
# build puts things, only what `cmake --install` copies out of it.
#
# The packages always install under /usr, whatever CMAKE_INSTALL_PREFIX the
# build was configured with (the default preset leaves it at /usr/local,
# where a package must never put anything): every destination below is
# either relative to the prefix, which cpack sets to /usr, or one of the
# fixed places Debian keeps for a service (/etc, /lib/systemd/system).
# The library goes to Debian's multiarch folder under any prefix, and the
# pkg-config file names its folders relative to where it lies.
include(GNUInstallDirs)
set(TAVRIN_PACKAGE_PREFIX /usr)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(TAVRIN_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(TAVRIN_LIBDIR lib)
endif()
set(TAVRIN_CONF_DIR /etc/tavrin)

if(NOT TARGET tavrin OR NOT TARGET tavrin-server OR NOT TARGET tavrin_assets)
  return()
endif()

set(TAVRIN_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TAVRIN_SHARE ${CMAKE_INSTALL_DATADIR}/tavrin)
set(TAVRIN_BUILD_INSTALL ${CMAKE_BINARY_DIR}/bin)

# The engine: a versioned shared library, its header and pkg-config file.
set_target_properties(libtavrin PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 0)
install(TARGETS libtavrin
  LIBRARY DESTINATION ${TAVRIN_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/engine/include/libtavrin.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
# From <prefix>/<libdir>/pkgconfig back up to <prefix>: one ".." a folder.
string(REGEX REPLACE "[^/]+" ".." TAVRIN_PC_UP "${TAVRIN_LIBDIR}/pkgconfig")
configure_file(${TAVRIN_PACKAGING_DIR}/tavrin.pc.in ${CMAKE_BINARY_DIR}/packaging/tavrin.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tavrin.pc
  DESTINATION ${TAVRIN_LIBDIR}/pkgconfig COMPONENT dev)

# The client, the terminal front end and what they read but never write.
install(TARGETS tavrin tavrin-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
install(FILES ${TAVRIN_BUILD_INSTALL}/DB/HZK20.FT DESTINATION ${TAVRIN_SHARE}/DB COMPONENT client)
install(FILES ${TAVRIN_BUILD_INSTALL}/Sounds/newmessage.wav
  DESTINATION ${TAVRIN_SHARE}/Sounds COMPONENT client)
install(DIRECTORY ${TAVRIN_BUILD_INSTALL}/Theme ${TAVRIN_BUILD_INSTALL}/Themes
  DESTINATION ${TAVRIN_SHARE} COMPONENT client)
install(FILES ${TAVRIN_PACKAGING_DIR}/local.tavrin.Tavrin.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT client)
install(FILES ${TAVRIN_PACKAGING_DIR}/local.tavrin.Tavrin.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT client)
install(DIRECTORY ${TAVRIN_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
  COMPONENT client)
install(FILES ${TAVRIN_MAN_DIR}/tavrin.1.gz ${TAVRIN_MAN_DIR}/tavrin-cli.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT client)

# The service. Debian 12 keeps system units in /lib/systemd/system.
install(TARGETS tavrin-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
install(FILES ${TAVRIN_MAN_DIR}/tavrin-server.8.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT server)
install(FILES ${TAVRIN_PACKAGING_DIR}/tavrin-server.conf
  DESTINATION ${TAVRIN_CONF_DIR} COMPONENT server)
set(TAVRIN_UNIT_DIR /lib/systemd/system CACHE PATH "where the service's systemd unit goes")
install(FILES ${TAVRIN_PACKAGING_DIR}/tavrin-server.service
  DESTINATION ${TAVRIN_UNIT_DIR} COMPONENT server)

# Each package's copyright and changelog, as Debian wants them.
find_program(TAVRIN_GZIP gzip REQUIRED)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
execute_process(COMMAND ${TAVRIN_GZIP} -9nc ${TAVRIN_PACKAGING_DIR}/changelog
                OUTPUT_FILE ${changelog_gz} COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TAVRIN_PACKAGING_DIR}/changelog)
foreach(pair "client;tavrin" "server;tavrin-server" "lib;libtavrin0" "dev;libtavrin-dev")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${TAVRIN_PACKAGING_DIR}/copyright ${changelog_gz}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# The Debian packages, under /usr from any build (see the top of this file).
# An installed client finds its shared folder beside its prefix
# (/usr/bin/tavrin -> /usr/share/tavrin).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin developers")
set(CPACK_PACKAGE_CONTACT "Tavrin developers <packages@tavrin.test>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${TAVRIN_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL client server lib dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE tavrin)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavrin.test/")
# Dependencies from what the binaries really link; our own library is found
# in the build's lib folder and named by hand below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME tavrin)
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION net)
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "libtavrin0 (= ${PROJECT_VERSION}), fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_COMPONENT_CLIENT_DESCRIPTION
  "instant-messaging and SMS client for Tavrin accounts\n\
Tavrin is a skinned instant-messaging and SMS client drawn for 480 x 800\n\
portrait touch screens: contacts with presence, chats with their history,\n\
SMS now or at a set time, theme packages, and desktop notifications.\n\
\n\
This package also holds tavrin-cli, a terminal front end for the same\n\
accounts.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME tavrin-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA ${TAVRIN_PACKAGING_DIR}/debian/tavrin-server/conffiles)
set(CPACK_COMPONENT_SERVER_DESCRIPTION
  "local Tavrin service for one machine or a small network\n\
tavrin-server provides navigation, the SIP-C proxy and the HTTPS sign-in of\n\
the Tavrin service, with its data in SQLite. It comes as a hardened systemd\n\
system service, configured in /etc/tavrin/tavrin-server.conf, that is\n\
started once enabled.")

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libtavrin0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# Our own shlibs and an ldconfig trigger; the do-nothing maintainer scripts
# keep CPack from writing its own, which call ldconfig directly.
configure_file(${TAVRIN_PACKAGING_DIR}/debian/libtavrin0/shlibs.in
               ${CMAKE_BINARY_DIR}/packaging/libtavrin0/shlibs @ONLY)
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/libtavrin0/shlibs
    ${TAVRIN_PACKAGING_DIR}/debian/libtavrin0/triggers ${TAVRIN_PACKAGING_DIR}/debian/libtavrin0/postinst
    ${TAVRIN_PACKAGING_DIR}/debian/libtavrin0/postrm)
set(CPACK_COMPONENT_LIB_DESCRIPTION
  "Tavrin protocol engine - shared library\n\
libtavrin speaks SIP-C to the Tavrin service: login, presence, contacts,\n\
chats and SMS, behind a flat C interface with its own worker threads.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtavrin-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libtavrin0 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Tavrin protocol engine - development files\n\
libtavrin speaks SIP-C to the Tavrin service behind a flat C interface.\n\
This package holds its header, the link for development and a pkg-config\n\
file.")

include(CPack)
