# Install layout: the executables in bin/, the definition files in share/nimbrel/ (the
# seed of each user's program folder), desktop entry, icons, AppStream metainfo, the raw
# data file type, man pages, bash completion and the link in Wireshark's extcap folder.
include(GNUInstallDirs)

set(NIMBREL_APP_ID org.corvane.Nimbrel)

install(TARGETS nimbrel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET nimbrel)
  install(TARGETS nimbrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Wireshark's system-wide extcap folder gets a link named nimbrel-extcap to nimbrel-cli,
# under which name the program is Wireshark's capture interface for the controller's HCI
# traffic. The link is relative, so that it holds wherever the tree is unpacked.
set(NIMBREL_EXTCAP_DIR ${CMAKE_INSTALL_LIBDIR}/wireshark/extcap)
file(RELATIVE_PATH NIMBREL_EXTCAP_TARGET /${NIMBREL_EXTCAP_DIR} /${CMAKE_INSTALL_BINDIR}/nimbrel-cli)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/extcap)
file(CREATE_LINK ${NIMBREL_EXTCAP_TARGET} ${CMAKE_BINARY_DIR}/extcap/nimbrel-extcap SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/extcap/nimbrel-extcap DESTINATION ${NIMBREL_EXTCAP_DIR})

# LOG1.h and any per-chip definition files kept in data/.
file(GLOB NIMBREL_DEFINITION_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*.h)
install(FILES ${NIMBREL_DEFINITION_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbrel)

set(NIMBREL_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/data/desktop)
install(FILES ${NIMBREL_DESKTOP_DIR}/${NIMBREL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${NIMBREL_DESKTOP_DIR}/${NIMBREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${NIMBREL_DESKTOP_DIR}/nimbrel-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME nimbrel.xml)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/nimbrel-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Man pages and the package changelog, compressed the way Debian wants them (no name or time stamp in the gzip header).
find_program(NIMBREL_GZIP gzip)
foreach(page nimbrel.1 nimbrel-cli.1 changelog.Debian)
  set(source ${CMAKE_SOURCE_DIR}/docs/${page})
  if(NIMBREL_GZIP)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${NIMBREL_GZIP} -9 -n -c ${source} > ${compressed}
      DEPENDS ${source} VERBATIM)
    list(APPEND NIMBREL_COMPRESSED ${compressed})
  else()
    list(APPEND NIMBREL_COMPRESSED ${source})
  endif()
endforeach()
add_custom_target(nimbrel_compressed_docs ALL DEPENDS ${NIMBREL_COMPRESSED})
# A build of nimbrel-cli alone can still be installed.
add_dependencies(nimbrel-cli nimbrel_compressed_docs)
list(GET NIMBREL_COMPRESSED 0 1 NIMBREL_MAN_PAGES)
list(GET NIMBREL_COMPRESSED 2 NIMBREL_CHANGELOG)
install(FILES ${NIMBREL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/docs/copyright ${NIMBREL_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel)

# Checks of the installed layout and of the desktop metadata.
if(NIMBREL_BUILD_TESTS)
  add_test(NAME InstallLayout.DestdirInstallRunsWithItsOwnProgramFolder
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR})
  add_test(NAME InstallLayout.DesktopMetadataValidates
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/validate_metadata.sh ${CMAKE_SOURCE_DIR})
  set_tests_properties(InstallLayout.DestdirInstallRunsWithItsOwnProgramFolder
                       InstallLayout.DesktopMetadataValidates PROPERTIES SKIP_RETURN_CODE 77)
endif()
