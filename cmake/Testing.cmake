# zd_add_gtest(NAME SOURCES <files> LIBS <targets>): one GoogleTest binary, its cases listed in ctest.
function(zd_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE ZD_SHARED_DIR="${ZD_SHARED_DIR}"
                             ZD_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZD_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "${ZD_TEST_ENVIRONMENT}" TIMEOUT 300)
endfunction()

# zd_add_qtest(SOURCE <file> LIBS <targets> [LABELS ...]): one Qt Test binary per source file.
function(zd_add_qtest)
  cmake_parse_arguments(ARG "" "SOURCE;PREFIX" "LIBS;EXTRA_SOURCES" ${ARGN})
  get_filename_component(_base ${ARG_SOURCE} NAME_WE)
  set(name ${ARG_PREFIX}${_base})
  add_executable(${name} ${ARG_SOURCE} ${ARG_EXTRA_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE ZD_SHARED_DIR="${ZD_SHARED_DIR}"
                             ZD_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZD_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ZD_TEST_ENVIRONMENT}" TIMEOUT 300)
endfunction()
