cmake_policy(SET CMP0057 NEW)
# Fails unless the library's dynamic symbol table defines exactly names that
# start with "vela", the library family among them.
#   cmake -DNM=<nm> -DLIBRARY=<libVela2.so> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE " .*" "" name "${line}")
  list(APPEND names ${name})
  if(NOT name MATCHES "^vela")
    message(SEND_ERROR "exported but not a vela name: ${name}")
  endif()
endforeach()
foreach(expected velaInitialize velaShutdown velaGetVersion)
  if(NOT expected IN_LIST names)
    message(SEND_ERROR "not exported: ${expected}")
  endif()
endforeach()
