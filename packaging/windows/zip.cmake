# Packs the Windows zip from the build (packaging/windows/CMakeLists.txt
# passes the paths): the programs without their symbols, the DLLs,
# instruments\default.zvi, the demo songs, the licence texts of everything
# in it and README.txt, all in one folder NAME\. Written under a temporary
# name and renamed, so that the zip is there whole or not at all.
set(stage ${OUT}/windows-zip/${NAME})
file(REMOVE_RECURSE ${OUT}/windows-zip)
file(MAKE_DIRECTORY ${stage}/instruments ${stage}/examples ${stage}/licenses)

foreach(program ${PROGRAMS})
  get_filename_component(name ${program} NAME)
  execute_process(COMMAND ${STRIP} --strip-all -o ${stage}/${name} ${program}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${program}")
  endif()
endforeach()
file(COPY ${DLLS} DESTINATION ${stage})
file(COPY ${BANK} DESTINATION ${stage}/instruments)
file(GLOB songs ${EXAMPLES}/*.zvo)
file(COPY ${songs} DESTINATION ${stage}/examples)

# Text files with Windows' line ends, for Notepad.
function(copy_text from to)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()
copy_text(${SOURCE}/packaging/windows/README.txt ${stage}/README.txt)
copy_text(${SOURCE}/LICENSE ${stage}/licenses/zorvik.txt)
file(GLOB licensed RELATIVE ${LICENSES} ${LICENSES}/*)
foreach(package ${licensed})
  file(GLOB texts ${LICENSES}/${package}/*)
  foreach(text ${texts})
    get_filename_component(name ${text} NAME)
    copy_text(${text} ${stage}/licenses/${package}-${name}.txt)
  endforeach()
endforeach()

file(GLOB_RECURSE contents RELATIVE ${OUT}/windows-zip ${stage}/*)
list(SORT contents)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${NAME}.zip.partial --format=zip
                        "--mtime=2000-01-01 00:00:00" ${contents}
                WORKING_DIRECTORY ${OUT}/windows-zip RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${OUT}/${NAME}.zip.partial)
  message(FATAL_ERROR "cannot write ${OUT}/${NAME}.zip")
endif()
file(RENAME ${OUT}/${NAME}.zip.partial ${OUT}/${NAME}.zip)
file(REMOVE_RECURSE ${OUT}/windows-zip)
message(STATUS "Wrote ${OUT}/${NAME}.zip")
