# Installs the desktop entry and the icon beside the program, and defines the
# test that installs the build into a scratch prefix and checks the result.
#
# Included from the top-level CMakeLists.txt it adds the install rules (and,
# with testing on, the test). Run as a script (cmake -P) it is that test.

if(NOT CMAKE_SCRIPT_MODE_FILE)
  include(GNUInstallDirs)
  install(FILES ${PROJECT_SOURCE_DIR}/data/tumbilder.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/tumbilder.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)

  if(BUILD_TESTING)
    find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
    add_test(NAME install_check
      COMMAND ${CMAKE_COMMAND}
        -DBUILD_DIR=${CMAKE_BINARY_DIR}
        -DPREFIX=${CMAKE_BINARY_DIR}/install-test-prefix
        -DCONFIG=$<CONFIG>
        -DPROGRAM=${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:tumbilder>
        -DDESKTOP=${CMAKE_INSTALL_DATADIR}/applications/tumbilder.desktop
        -DICON=${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps/tumbilder.png
        -DVALIDATOR=${DESKTOP_FILE_VALIDATE}
        -P ${CMAKE_CURRENT_LIST_FILE})
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

foreach(path IN ITEMS "${PROGRAM}" "${DESKTOP}" "${ICON}")
  if(NOT EXISTS "${PREFIX}/${path}" OR IS_DIRECTORY "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

# The icon's PNG header says how big it is: it must be what its folder says.
file(READ "${PREFIX}/${ICON}" header LIMIT 24 HEX)
string(SUBSTRING "${header}" 0 16 signature)
string(SUBSTRING "${header}" 32 16 size)
if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT size STREQUAL "0000010000000100")
  message(FATAL_ERROR "the icon is not a 256x256 PNG (header ${header})")
endif()

if(NOT VALIDATOR)
  message(FATAL_ERROR "desktop-file-validate is missing (Debian package desktop-file-utils)")
endif()
execute_process(COMMAND "${VALIDATOR}" "${PREFIX}/${DESKTOP}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
# Warnings count too: a clean entry prints nothing.
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate (${result}):\n${output}")
endif()

file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "installed program, desktop entry and icon are in place")
