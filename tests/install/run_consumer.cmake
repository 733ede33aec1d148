# Installs the build tree into a scratch prefix and builds a separate project
# against it: a consumer of the library, a component client and every
# installed header compiled on its own, none of which sets a language level
# of its own.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configuring the consumer failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building the consumer failed: ${rc}")
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/home)
set(ENV{XDG_DATA_HOME} ${WORK_DIR}/home)
foreach(program consumer client)
  execute_process(COMMAND ${WORK_DIR}/build/${program} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "the ${program} failed: ${rc}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
