# CPack post-build script: each Debian archive CPack made is built again by
# dpkg-deb, which stamps the archive and clamps every file's time to
# SOURCE_DATE_EPOCH, with root as the owner of every file. On the way the
# debug-symbol package gets what Debian's own have: correct md5sums (CPack
# lists its staging paths), plain files and its documentation from vorta's.
if(NOT CPACK_VORTA_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no SOURCE_DATE_EPOCH for the package's file times")
endif()
find_program(VORTA_DPKG_DEB dpkg-deb REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.d?deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${VORTA_DPKG_DEB} --raw-extract ${package} ${tree}
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${VORTA_DPKG_DEB} --field ${package} Package OUTPUT_VARIABLE name
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(name MATCHES "-dbgsym$")
    file(GLOB_RECURSE debug_files ${tree}/usr/lib/debug/*.debug)
    foreach(f IN LISTS debug_files)
      file(CHMOD ${f} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK ${CPACK_PACKAGE_NAME} ${tree}/usr/share/doc/${name} SYMBOLIC)
  endif()
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/*)
  list(FILTER files EXCLUDE REGEX "^DEBIAN/")
  list(SORT files)
  set(md5sums "")
  foreach(f IN LISTS files)
    if(NOT IS_SYMLINK ${tree}/${f})
      file(MD5 ${tree}/${f} sum)
      string(APPEND md5sums "${sum}  ${f}\n")
    endif()
  endforeach()
  file(WRITE ${tree}/DEBIAN/md5sums "${md5sums}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${CPACK_VORTA_SOURCE_DATE_EPOCH}
            ${VORTA_DPKG_DEB} --root-owner-group --build ${tree} ${package}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
