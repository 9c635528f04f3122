# The install check, run as a script (cmake -P) by the test install_check:
# installs the build into a scratch prefix, checks and validates the result
# and takes it away again as `make uninstall` does.
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
