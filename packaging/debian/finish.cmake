# Run by CPack once the package's files are staged, to finish them as Debian
# wants them: the copyright file and the changelog in
# /usr/share/doc/zorvik-player (the changelog's latest entry must be the
# version being packaged), and the static library without debugging
# information, as CPack strips only programs and shared libraries.
set(doc "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME}")
set(changelog "${CPACK_ZORVIK_DEBIAN_DIR}/changelog")

file(STRINGS "${changelog}" latest LIMIT_COUNT 1)
string(REPLACE "." "\\." version "${CPACK_PACKAGE_VERSION}")
if(NOT latest MATCHES "^${CPACK_PACKAGE_NAME} \\(${version}\\) ")
  message(FATAL_ERROR "${changelog} starts with '${latest}': "
                      "give it an entry for ${CPACK_PACKAGE_VERSION} first")
endif()

file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_ZORVIK_DEBIAN_DIR}/copyright" "${doc}/copyright")
execute_process(COMMAND gzip -9n -c "${changelog}" OUTPUT_FILE "${doc}/changelog.gz"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip of ${changelog} failed")
endif()
file(CHMOD "${doc}/copyright" "${doc}/changelog.gz"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

file(GLOB archives "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/lib/*.a")
foreach(archive IN LISTS archives)
  execute_process(COMMAND strip --strip-debug "${archive}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip --strip-debug ${archive} failed")
  endif()
endforeach()
