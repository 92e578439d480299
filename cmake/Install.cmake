# Installing Logwarden like any Linux program (GNU directories): the two programs, the desktop entry,
# the icon in the hicolor theme, the AppStream metadata, the manual pages and the package's documents.
include(GNUInstallDirs)

set(LOGWARDEN_RES ${CMAKE_SOURCE_DIR}/res)
set(LOGWARDEN_METAINFO ${LOGWARDEN_RES}/linux/${LOGWARDEN_APP_ID}.metainfo.xml)
set(LOGWARDEN_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/logwarden)
set(LOGWARDEN_PACKAGE_MAINTAINER "The Logwarden developers <logwarden@example.org>" CACHE STRING
    "Maintainer named in the Debian package and its changelog")
# Debian's interpreter: the scripts need nothing beyond its standard library.
find_program(LOGWARDEN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(LOGWARDEN_GZIP gzip REQUIRED)

# The newest release of the metadata dates the manual pages.
file(READ ${LOGWARDEN_METAINFO} _metainfo)
if(NOT _metainfo MATCHES "<release version=\"([^\"]+)\" date=\"([0-9-]+)\"")
  message(FATAL_ERROR "${LOGWARDEN_METAINFO} names no release")
endif()
set(LOGWARDEN_RELEASE_DATE ${CMAKE_MATCH_2})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LOGWARDEN_METAINFO})

set(_man ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${_man})
# Manual pages and the changelog are installed compressed, without a time stamp in the gzip header.
# logwarden-cli.1 is written from the tool's own help, so it names every command and option it has.
add_custom_command(OUTPUT ${_man}/logwarden-cli.1
  COMMAND ${LOGWARDEN_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/make-docs.py cli-manpage
          $<TARGET_FILE:logwarden-cli> ${_man}/logwarden-cli.1.in ${_man}/logwarden-cli.1
  DEPENDS logwarden-cli ${_man}/logwarden-cli.1.in ${CMAKE_SOURCE_DIR}/scripts/make-docs.py
  COMMENT "Writing the manual page of logwarden-cli from its help" VERBATIM)
configure_file(${LOGWARDEN_RES}/man/logwarden-cli.1.in ${_man}/logwarden-cli.1.in @ONLY)
add_custom_command(OUTPUT ${_man}/logwarden-cli.1.gz
  COMMAND ${LOGWARDEN_GZIP} -9 -n -k -f ${_man}/logwarden-cli.1
  DEPENDS ${_man}/logwarden-cli.1 VERBATIM)
set(_docs ${_man}/logwarden-cli.1.gz)

if(LOGWARDEN_GUI)
  configure_file(${LOGWARDEN_RES}/man/logwarden.1.in ${_man}/logwarden.1 @ONLY)
  add_custom_command(OUTPUT ${_man}/logwarden.1.gz
    COMMAND ${LOGWARDEN_GZIP} -9 -n -k -f ${_man}/logwarden.1
    DEPENDS ${_man}/logwarden.1 VERBATIM)
  list(APPEND _docs ${_man}/logwarden.1.gz)
endif()

# The package's changelog, from the releases of the metadata.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND ${LOGWARDEN_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/make-docs.py changelog
          ${LOGWARDEN_METAINFO} ${LOGWARDEN_PACKAGE_MAINTAINER} ${CMAKE_BINARY_DIR}/changelog
  COMMAND ${LOGWARDEN_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/changelog
  DEPENDS ${LOGWARDEN_METAINFO} ${CMAKE_SOURCE_DIR}/scripts/make-docs.py
  COMMENT "Writing the changelog from the releases" VERBATIM)
list(APPEND _docs ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(docs ALL DEPENDS ${_docs})

install(TARGETS logwarden-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_man}/logwarden-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${LOGWARDEN_RES}/linux/copyright DESTINATION ${LOGWARDEN_DOCDIR})
if(LOGWARDEN_GUI)
  install(TARGETS logwarden RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_man}/logwarden.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${LOGWARDEN_RES}/linux/${LOGWARDEN_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${LOGWARDEN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
  install(DIRECTORY ${LOGWARDEN_RES}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)
  install(FILES ${LOGWARDEN_RES}/icons/${LOGWARDEN_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
endif()

# The installed tree and its manual pages are checked by tests (label "package").
if(LOGWARDEN_TESTS)
  add_test(NAME package.install
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/check-install.sh ${CMAKE_BINARY_DIR} ${LOGWARDEN_APP_ID}
            ${PROJECT_VERSION} $<BOOL:${LOGWARDEN_GUI}>)
  add_test(NAME package.manpages
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/check-manpages.sh ${_man} $<TARGET_FILE:logwarden-cli>
            $<$<BOOL:${LOGWARDEN_GUI}>:$<TARGET_FILE:logwarden>>)
  set_tests_properties(package.install package.manpages PROPERTIES LABELS package TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
