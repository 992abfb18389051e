# Warnings are errors everywhere; sanitizers are switched on for every target at once.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)

if(KESTRUN_SANITIZE AND KESTRUN_TSAN)
  message(FATAL_ERROR "KESTRUN_SANITIZE and KESTRUN_TSAN cannot be combined")
endif()
if(KESTRUN_FUZZ AND (KESTRUN_SANITIZE OR KESTRUN_TSAN))
  message(FATAL_ERROR "KESTRUN_FUZZ brings its own sanitizers; do not combine it with KESTRUN_SANITIZE or KESTRUN_TSAN")
endif()
if(KESTRUN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KESTRUN_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++-14")
  endif()
  # Every library gets the coverage hooks; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KESTRUN_SANITIZE OR KESTRUN_TSAN)
  # The sanitizers' own advice, and half the build time: -O1 keeps the reports exact, line
  # tables alone still give every frame of a report its file and line.
  add_compile_options(-O1 -g1)
endif()
if(KESTRUN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KESTRUN_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# kestrun_test_debug_info(target): a test's failures name file and line; the full debug
# information of a test, which nobody steps through, costs a quarter of its build time.
function(kestrun_test_debug_info target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Debug>:-g1>)
endfunction()

# kestrun_add_test(name SOURCES ... LIBS ...): one GoogleTest executable, registered with CTest.
function(kestrun_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  # Helpers that tests of every folder share: scratch folders, raw file access.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  kestrun_test_debug_info(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# kestrun_add_test_glob(name "pattern" libs...): one test executable from the
# files matching pattern in the current folder, when there are any.
function(kestrun_add_test_glob name pattern)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
  if(sources)
    kestrun_add_test(${name} SOURCES ${sources} LIBS ${ARGN})
  endif()
endfunction()
