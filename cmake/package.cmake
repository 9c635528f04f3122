# The Debian package: `make package` (cpack -G DEB in the build folder)
# writes tumbilder_<version>_<arch>.deb from the install rules. Depends is
# computed by dpkg-shlibdeps from the libraries the program really links.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tumbilder)
set(CPACK_PACKAGE_VERSION ${TUMBILDER_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Tumbilder")
# dpkg needs a maintainer with an address; example.org is reserved and
# reaches no one, so it stands in until the project has a real one. No
# homepage is given: there is none yet.
set(CPACK_PACKAGE_CONTACT "Tumbilder-utvecklarna <utvecklare@tumbilder.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "thumbnails of pictures and a gallery web page")
set(CPACK_PACKAGE_DESCRIPTION
  "Tumbilder makes thumbnails of pictures (JPG, PNG, HEIC, WebP, AVIF, TIFF,\n"
  "GIF, BMP): drop the pictures on its list, choose the size, the name and\n"
  "the format (BMP, GIF or JPG), and run. It can also write a gallery page,\n"
  "bilder.html, that shows the thumbnails in a grid, each linked to its\n"
  "full-size picture. It never overwrites a thumbnail or a picture. The\n"
  "user interface is in Swedish.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# FFmpeg's libraries are loaded when a film is met, so dpkg-shlibdeps does
# not see them: named here, at the major versions built against.
set(film_packages "")
foreach(library avformat avcodec swscale avutil)
  string(REGEX MATCH "^[0-9]+" major "${FFMPEG_lib${library}_VERSION}")
  list(APPEND film_packages "lib${library}${major}")
endforeach()
list(JOIN film_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Only the program and its files: the tests and benchmarks install nothing,
# and there is no source package.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
