# nsf_add_gtest(NAME SOURCES... LIBS ... [LABELS ...])
# Unit tests carry the label "unit" and run in the sanitizer build too; tests that drive
# external readers or whole programs carry "integration".
include(GoogleTest)
function(nsf_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # The source folder is compiled in as well: gtest_discover_tests flattens a list of
  # ENVIRONMENT settings, so only one setting survives there.
  target_compile_definitions(${name} PRIVATE NSF_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${T_LABELS}"
               ENVIRONMENT "NSF_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()
