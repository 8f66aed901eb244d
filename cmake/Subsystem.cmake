# folvane_subsystem(NAME [NO_UNITY] [DEPS lib...] [PRIVATE_DEPS lib...] [EXCLUDE subfolder...])
# Builds every .cpp below the folder into one static library named NAME.
# A folder with no sources yet becomes an interface library so that the
# layers above can already link it. EXCLUDE leaves out subfolders that
# build a library of their own.
function(folvane_subsystem name)
  cmake_parse_arguments(ARG "NO_UNITY" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(excluded ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${excluded}/")
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    # Like the test programs, the libraries compile a few sources at a time
    # as one unit, which cuts the build (above all the sanitizer build) by
    # about half; file-local names must therefore differ within a folder.
    # The platform layer keeps one unit per source: its window classes
    # share the names of their handlers by design.
    if(FOLVANE_UNITY AND NOT ARG_NO_UNITY)
      set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# folvane_tests(NAME [DEPS lib...])
# Builds every *Test.cpp of the current test folder into one GoogleTest
# program and registers its tests with CTest.
function(folvane_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  # Test files share heavy headers (GoogleTest, the library's own), so
  # compiling them a few at a time as one unit cuts the build by about
  # half; FOLVANE_UNITY=OFF builds them one by one when chasing an error.
  if(FOLVANE_UNITY)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
  # Test code holds assertions and fixtures, not hot loops: optimising it
  # lightly, with line tables only, cuts its compile time by a third while
  # the library it calls keeps the build's full optimisation.
  target_compile_options(${name} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O1 -g1>)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} folvane_test_paths
                        GTest::gtest GTest::gtest_main GTest::gmock)
  # The unit tests of a program run in one process, one ctest test: starting
  # a test program costs more than most unit tests (over half a second of
  # CPU under the sanitizers), so one ctest test per unit test spent most of
  # the run starting programs. The corpus tests (the "Corpus/" and "Files/"
  # instantiations, one group of files or one file each) stay one ctest test
  # each, so that ctest spreads them over the cores.
  add_test(NAME ${name} COMMAND ${name} --gtest_filter=-Corpus/*:Files/*)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  include(GoogleTest)
  gtest_discover_tests(${name} TEST_FILTER "Corpus/*:Files/*" DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 600)
endfunction()
