# Shared build settings of every talvor target.

add_library(talvor_options INTERFACE)
target_compile_options(talvor_options INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 reports -Wrestrict for "literal" + std::string when optimising (GCC bug 105329): a
# false positive in the standard library's own code, so it is switched off for GCC only.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(talvor_options INTERFACE -Wno-restrict)
endif()
if(TALVOR_SANITIZE)
  target_compile_options(talvor_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(talvor_options INTERFACE -fsanitize=address,undefined)
endif()

# talvor_add_library(NAME SOURCES... [DEPS lib...])
# A folder's library; its headers are included as "folder/file.h" from the source root.
function(talvor_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC talvor_options ${ARG_DEPS})
endfunction()

# talvor_add_test(NAME SOURCES... [DEPS lib...] [PROPERTIES prop value...])
# One GoogleTest executable registered with CTest; each test case runs in a
# fresh temporary working directory chosen by the test itself. PROPERTIES are set on each
# of its tests (the PostgreSQL suites give TALVOR_PG_TEST_PROPERTIES).
function(talvor_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PROPERTIES" ${ARGN})
  # While several people work in one tree, a suite whose files are still being written can
  # be left out of a developer build (never in CI, which leaves the option off).
  if(TALVOR_SKIP_INCOMPLETE_TESTS)
    foreach(src ${ARG_SOURCES})
      if(NOT IS_ABSOLUTE ${src})
        set(src ${CMAKE_CURRENT_SOURCE_DIR}/${src})
      endif()
      if(NOT EXISTS ${src})
        message(WARNING "${name} left out: ${src} does not exist yet")
        return()
      endif()
    endforeach()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE talvor_options ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

# talvor_add_bench(NAME SOURCES... [DEPS lib...])
function(talvor_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE talvor_options ${ARG_DEPS} benchmark::benchmark)
endfunction()
