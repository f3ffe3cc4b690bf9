# Builds TARGET in BUILD and passes only when that fails because HEADER
# cannot be found.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target ${TARGET}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(status EQUAL 0)
  message(FATAL_ERROR "${TARGET} compiled: ${HEADER} is visible from below")
endif()
string(FIND "${out}" "${HEADER}: No such file" at)
if(at EQUAL -1)
  string(FIND "${out}" "'${HEADER}' file not found" at)
endif()
if(at EQUAL -1)
  message(FATAL_ERROR "${TARGET} failed, but not for want of ${HEADER}:\n${out}")
endif()
