# Installs what a desktop needs beside the program (desktop entry, icons,
# metainfo, manual page, copyright and changelog) and, with testing on,
# defines the test that checks the install (install_check.cmake).

include(GNUInstallDirs)
set(id ${TUMBILDER_APP_ID})
set(data ${PROJECT_SOURCE_DIR}/data)
set(TUMBILDER_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tumbilder)

install(FILES ${data}/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${data}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Manual page and changelog go compressed, as Debian wants them: gzip -9
# without a name or time stamp, so the same sources give the same bytes.
configure_file(${data}/tumbilder.1.in ${CMAKE_BINARY_DIR}/data/tumbilder.1 @ONLY)
configure_file(${data}/changelog ${CMAKE_BINARY_DIR}/data/changelog COPYONLY)
find_program(GZIP_PROGRAM gzip)
set(manpage ${CMAKE_BINARY_DIR}/data/tumbilder.1)
set(changelog ${CMAKE_BINARY_DIR}/data/changelog)
if(GZIP_PROGRAM)
  foreach(file IN ITEMS manpage changelog)
    execute_process(COMMAND ${GZIP_PROGRAM} -9nc ${${file}} OUTPUT_FILE ${${file}}.gz COMMAND_ERROR_IS_FATAL ANY)
    set(${file} ${${file}}.gz)
  endforeach()
endif()
install(FILES ${manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${data}/copyright ${changelog} DESTINATION ${TUMBILDER_DOCDIR})

if(BUILD_TESTING)
  get_filename_component(manpage_name ${manpage} NAME)
  get_filename_component(changelog_name ${changelog} NAME)
  add_test(NAME install_check
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${CMAKE_BINARY_DIR}
      -DPREFIX=${CMAKE_BINARY_DIR}/install-test-prefix
      -DCONFIG=$<CONFIG>
      -DPROGRAM=${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:tumbilder>
      -DDESKTOP=${CMAKE_INSTALL_DATADIR}/applications/${id}.desktop
      -DMETAINFO=${CMAKE_INSTALL_DATADIR}/metainfo/${id}.metainfo.xml
      -DICONS=${CMAKE_INSTALL_DATADIR}/icons/hicolor
      -DICON_NAME=${id}
      -DMANPAGE=${CMAKE_INSTALL_MANDIR}/man1/${manpage_name}
      -DDOCS=${TUMBILDER_DOCDIR}/copyright|${TUMBILDER_DOCDIR}/${changelog_name}
      -DUNINSTALL=${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
      -P ${CMAKE_CURRENT_LIST_DIR}/install_check.cmake)
  # Every install of this build writes the same manifest.
  set_tests_properties(install_check PROPERTIES RESOURCE_LOCK tumbilder_install_manifest)
endif()
