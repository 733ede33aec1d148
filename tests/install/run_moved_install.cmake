# Installs the build tree into a scratch prefix (not the configured one),
# moves the installed tree elsewhere and runs its programs there: the demo's
# first example, vdl-query, vdl-regsvr and vdl-bench. Neither may reach back into the build tree or
# the first prefix, and neither leaves anything in the temporary folder.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/first
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/elsewhere)
file(RENAME ${WORK_DIR}/first ${WORK_DIR}/elsewhere/moved)
set(prefix ${WORK_DIR}/elsewhere/moved)

foreach(folder home tmp runtime)
  file(MAKE_DIRECTORY ${WORK_DIR}/${folder})
endforeach()
file(CHMOD ${WORK_DIR}/runtime PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(ENV{XDG_DATA_HOME} ${WORK_DIR}/home)
set(ENV{XDG_RUNTIME_DIR} ${WORK_DIR}/runtime)
set(ENV{TMPDIR} ${WORK_DIR}/tmp)

if(WITH_DEMO)
  execute_process(COMMAND ${prefix}/bin/VDL12Demo --example 1
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0
     OR NOT out MATCHES "^Example 1\\.  Returned ADO Recordset Query Results \\[Static Cursor Type\\]\n"
     OR NOT out MATCHES "\nWheels +WHL +Spain\n" OR NOT out MATCHES "\nAlloy Wheels\n")
    message(FATAL_ERROR "moved VDL12Demo --example 1: status ${rc}, output '${out}', errors '${err}'")
  endif()
  # The demo registered the library of the moved tree, found beside itself.
  file(READ ${WORK_DIR}/home/vendrel/classes.ini registry)
  string(FIND "${registry}" "${prefix}/${LIBDIR}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the moved demo registered another library: ${registry}")
  endif()
endif()

file(WRITE ${WORK_DIR}/in/products.csv "PRODUCT,SUPPLIER\nWheels,WHL\nAlloy Wheels,ALS\n")
execute_process(COMMAND ${prefix}/bin/vdl-query -i rs1=${WORK_DIR}/in/products.csv -f csv
                        "SELECT rs1.PRODUCT FROM rs1 WHERE rs1.SUPPLIER='ALS'"
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "PRODUCT\nAlloy Wheels\n")
  message(FATAL_ERROR "moved vdl-query: status ${rc}, output '${out}', errors '${err}'")
endif()

execute_process(COMMAND ${prefix}/bin/vdl-regsvr --list ${prefix}/${LIBDIR}/libVendrel12.so.1
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "class Vendrel ")
  message(FATAL_ERROR "moved vdl-regsvr --list: status ${rc}, output '${out}', errors '${err}'")
endif()
execute_process(COMMAND ${prefix}/bin/vdl-bench --rows 100 --runs 1 --workload W1
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "\"workload\":\"W1\"")
  message(FATAL_ERROR "moved vdl-bench: status ${rc}, output '${out}', errors '${err}'")
endif()

# Every installed program tells its version, and vdl-query has its manual page.
file(GLOB programs ${prefix}/bin/*)
foreach(program ${programs})
  get_filename_component(name ${program} NAME)
  execute_process(COMMAND ${program} --version OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "${name} ${VERSION} (Vendrel 1.2)\n")
    message(FATAL_ERROR "moved ${name} --version: status ${rc}, output '${out}', errors '${err}'")
  endif()
endforeach()
if(NOT EXISTS ${prefix}/share/man/man1/vdl-query.1)
  message(FATAL_ERROR "the manual page share/man/man1/vdl-query.1 is not installed")
endif()

file(GLOB left ${WORK_DIR}/tmp/*)
if(left)
  message(FATAL_ERROR "the moved programs left ${left}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
