# Installs the build tree into a scratch prefix and runs the installed
# bin/vdl-query, which finds the libraries beside it.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
file(WRITE ${WORK_DIR}/in/products.csv "PRODUCT,SUPPLIER\nWheels,WHL\nAlloy Wheels,ALS\n")
file(MAKE_DIRECTORY ${WORK_DIR}/tmp)
set(ENV{TMPDIR} ${WORK_DIR}/tmp)
execute_process(COMMAND ${WORK_DIR}/prefix/bin/vdl-query -i rs1=${WORK_DIR}/in/products.csv -f csv
                        "SELECT rs1.PRODUCT FROM rs1 WHERE rs1.SUPPLIER='ALS'"
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "PRODUCT\nAlloy Wheels\n")
  message(FATAL_ERROR "installed vdl-query: status ${rc}, output '${out}', errors '${err}'")
endif()
file(GLOB left ${WORK_DIR}/tmp/*)
if(left)
  message(FATAL_ERROR "installed vdl-query left ${left}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
