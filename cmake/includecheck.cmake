# Refuses an include that names its way out of the include roots: "../"
# anywhere in it (even "thumbs/../gallery/page.h" climbs out through the
# link) or an absolute path. The layers are kept by what each library's
# include root holds; such an include would reach any folder from any other.
# Run by the build before any library compiles: cmake -DSOURCE_DIR=src -P includecheck.cmake
file(GLOB_RECURSE sources ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h.in)
set(refused "")
foreach(source IN LISTS sources)
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*\\.\\./|/)")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
    string(STRIP "${line}" line)
    string(APPEND refused "\n  ${name}: ${line}")
  endforeach()
endforeach()
if(refused)
  message(FATAL_ERROR "An include may not leave its library's include root (no \"../\", no absolute path); "
    "include a lower layer as \"folder/file.h\":${refused}")
endif()
