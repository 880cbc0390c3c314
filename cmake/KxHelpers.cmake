# Small helpers shared by the folder CMakeLists files.

# kx_library(NAME FOLDER [DEPS ...]): a static library from every .cpp in FOLDER.
function(kx_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${KX_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# kx_windows_tool(NAME SOURCE LIBRARY...): a small Windows program of the tools, built only in
# the Windows build; wmain takes its arguments as UTF-16.
function(kx_windows_tool name source)
  if(NOT WIN32)
    return()
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_compile_options(${name} PRIVATE ${KX_WARNINGS})
  target_link_options(${name} PRIVATE -municode)
endfunction()

# The one object of the tests that knows where the source tree is (tests/support/source_dir.h).
function(kx_test_source_dir)
  if(TARGET kx_test_source_dir)
    return()
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/tests/support/source_dir.cpp.in
                 ${CMAKE_BINARY_DIR}/kx_test_source_dir.cpp @ONLY)
  add_library(kx_test_source_dir STATIC ${CMAKE_BINARY_DIR}/kx_test_source_dir.cpp)
  target_include_directories(kx_test_source_dir PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(kx_test_source_dir PRIVATE ${KX_WARNINGS})
endfunction()

# kx_test_paths(TARGET NAME PATH [NAME PATH]...): the paths the test TARGET reads with
# kx::test::BuildPath(NAME) (tests/support/build_paths.h); PATH may be a generator expression.
function(kx_test_paths target)
  set(rows)
  set(pairs ${ARGN})
  while(pairs)
    list(POP_FRONT pairs name path)
    string(APPEND rows "        {\"${name}\", \"${path}\"},\n")
  endwhile()
  file(READ ${PROJECT_SOURCE_DIR}/tests/support/build_paths.cpp.in template)
  string(CONFIGURE "${template}" source @ONLY)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_build_paths.cpp)
  file(GENERATE OUTPUT ${generated} CONTENT "${source}")
  target_sources(${target} PRIVATE ${generated})
endfunction()

# kx_test(NAME [SERIAL] [ONE_WINE_PROCESS [OWN_PROCESS SUITE...]] SOURCES ... DEPS ...): a
# GoogleTest executable registered with CTest, each test on its own; SERIAL keeps its tests from
# running beside any other test. ONE_WINE_PROCESS registers the whole executable as one test under
# Wine, where each process costs a quarter of a second or more to start: for checks that need no
# fresh process. The suites named after OWN_PROCESS are a second such test.
# Under the cross build the tests are listed and run through the Wine wrapper at test time.
function(kx_test name)
  cmake_parse_arguments(ARG "SERIAL;ONE_WINE_PROCESS" "" "SOURCES;DEPS;OWN_PROCESS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KX_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32)
    # The program's manifest: the tests use version 6 of the common controls, as the program does.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/app/app_manifest.rc)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} gtest gtest_main)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  endif()
  kx_test_source_dir()
  target_link_libraries(${name} PRIVATE kx_test_source_dir)
  # No precompiled header: every build tree makes its own, unlike any other, and the compiler
  # cache would then find no test object a clone in another folder compiled before.
  set(lane)
  if(WIN32)
    # Under Wine each test holds one lane of the "wine" resource (tests/wine-lanes.json): its own
    # prefix, display and server while it runs (tools/wine-run).
    set(lane RESOURCE_GROUPS wine:1)
  endif()
  if(WIN32 AND ARG_ONE_WINE_PROCESS)
    # Each suite of OWN_PROCESS runs in a process of its own beside the rest, so that the lanes
    # share the work. These long tests are given a high cost: ctest starts them first. A filter
    # that no longer selects any test fails.
    set(parts)
    set(rest)
    foreach(suite ${ARG_OWN_PROCESS})
      add_test(NAME ${name}.${suite} COMMAND ${name} --gtest_filter=${suite}.*)
      list(APPEND rest "${suite}.*")
      list(APPEND parts ${name}.${suite})
    endforeach()
    list(JOIN rest ":" rest)
    add_test(NAME ${name} COMMAND ${name} "--gtest_filter=*-${rest}")
    set_tests_properties(${name} ${parts} PROPERTIES
                         ENVIRONMENT "KX_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
                         RUN_SERIAL "${ARG_SERIAL}" COST 1000 ${lane}
                         FAIL_REGULAR_EXPRESSION "Running 0 tests")
    return()
  endif()
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES ENVIRONMENT "KX_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
                                  RUN_SERIAL ${ARG_SERIAL} ${lane})
endfunction()
