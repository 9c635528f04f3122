# Installs what a desktop needs beside the program (desktop entry, icons,
# metainfo, manual page, copyright and changelog), and defines the test that
# installs the build into a scratch prefix, checks and validates the result
# and takes it away again as `make uninstall` does.
#
# Included from the top-level CMakeLists.txt it adds the install rules (and,
# with testing on, the test). Run as a script (cmake -P) it is that test.

if(NOT CMAKE_SCRIPT_MODE_FILE)
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
        -P ${CMAKE_CURRENT_LIST_FILE})
    # Every install of this build writes the same manifest.
    set_tests_properties(install_check PROPERTIES RESOURCE_LOCK tumbilder_install_manifest)
  endif()
  return()
endif()

# --- the test ---------------------------------------------------------------
file(REMOVE_RECURSE "${PREFIX}")
set(config_args)
if(CONFIG)
  set(config_args --config "${CONFIG}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" ${config_args}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()
set(manifest "${PREFIX}.manifest")
file(COPY_FILE "${BUILD_DIR}/install_manifest.txt" "${manifest}")

string(REPLACE "|" ";" DOCS "${DOCS}")
foreach(path IN ITEMS "${PROGRAM}" "${DESKTOP}" "${METAINFO}" "${MANPAGE}" ${DOCS}
                      "${ICONS}/scalable/apps/${ICON_NAME}.svg")
  if(NOT EXISTS "${PREFIX}/${path}" OR IS_DIRECTORY "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

# Each icon's PNG header says how big it is: it must be what its folder says.
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
  set(icon "${PREFIX}/${ICONS}/${size}x${size}/apps/${ICON_NAME}.png")
  if(NOT EXISTS "${icon}")
    message(FATAL_ERROR "not installed: ${icon}")
  endif()
  file(READ "${icon}" header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 0 16 signature)
  string(SUBSTRING "${header}" 32 16 dimensions)
  math(EXPR expected "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "" expected "${expected}")
  string(LENGTH "${expected}" length)
  math(EXPR pad "8 - ${length}")
  string(REPEAT "0" ${pad} zeros)
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT dimensions STREQUAL "${zeros}${expected}${zeros}${expected}")
    message(FATAL_ERROR "${icon} is not a ${size}x${size} PNG (header ${header})")
  endif()
endforeach()

# Looked for now, not when the build was configured: set-up may have
# installed them since.
find_program(DESKTOP_VALIDATOR desktop-file-validate)
find_program(APPSTREAM_VALIDATOR appstreamcli)
if(NOT DESKTOP_VALIDATOR)
  message(FATAL_ERROR "desktop-file-validate is missing (Debian package desktop-file-utils)")
endif()
execute_process(COMMAND "${DESKTOP_VALIDATOR}" "${PREFIX}/${DESKTOP}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
# Warnings count too: a clean entry prints nothing.
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate (${result}):\n${output}")
endif()

if(NOT APPSTREAM_VALIDATOR)
  message(FATAL_ERROR "appstreamcli is missing (Debian package appstream)")
endif()
execute_process(COMMAND "${APPSTREAM_VALIDATOR}" validate --no-net "${PREFIX}/${METAINFO}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate (${result}):\n${output}")
endif()

# What `make uninstall` does: every installed file goes again.
execute_process(COMMAND "${CMAKE_COMMAND}" -DMANIFEST=${manifest} -P "${UNINSTALL}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB_RECURSE left LIST_DIRECTORIES false "${PREFIX}/*")
if(NOT result EQUAL 0 OR left)
  message(FATAL_ERROR "uninstall (${result}) left ${left}:\n${output}")
endif()

file(REMOVE_RECURSE "${PREFIX}" "${manifest}")
message(STATUS "installed program, desktop entry, icons, metainfo and manual page are in place and valid, and go away again")
