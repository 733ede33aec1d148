# vdl_add_library(NAME folder-target [SHARED|STATIC] SOURCES ... LINKS ...)
# Public headers live under the folder's include/; everything under src/ is private.
function(vdl_add_library name)
  cmake_parse_arguments(ARG "SHARED;STATIC" "" "SOURCES;PUBLIC_LINKS;PRIVATE_LINKS" ${ARGN})
  if(ARG_STATIC)
    add_library(${name} STATIC ${ARG_SOURCES})
  else()
    add_library(${name} SHARED ${ARG_SOURCES})
  endif()
  add_library(Vendrel12::${name} ALIAS ${name})
  target_include_directories(${name}
    PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  # The public headers need C++20; a consumer gets that from the target.
  target_compile_features(${name} PUBLIC cxx_std_20)
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  install(TARGETS ${name} EXPORT Vendrel12Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endfunction()

# vdl_add_test(NAME SOURCES ... LINKS ...): one GoogleTest program, every test listed by ctest.
function(vdl_add_test name)
  if(NOT VDL_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# vdl_add_fuzz_target(NAME SOURCES ... LINKS ...): one libFuzzer program, built
# only by the fuzz preset (VDL_FUZZ).
function(vdl_add_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# vdl_program_version(TARGET NAME): the line a program prints for --version,
# "NAME 1.2.0 (Vendrel 1.2)", as VDL_VERSION_LINE.
function(vdl_program_version target name)
  set(line "${name} ${PROJECT_VERSION} (Vendrel ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})")
  target_compile_definitions(${target} PRIVATE "VDL_VERSION_LINE=\"${line}\"")
endfunction()
