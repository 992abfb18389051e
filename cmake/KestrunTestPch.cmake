# One precompiled header for every test program (GoogleTest and the C++ library), and
# one with Qt's widgets as well for the window tests: each is compiled once, by a
# target of its own with the flags the test programs have, and reused by them.
# ccache caches compiles with a precompiled header only with the sloppiness below.
set(kestrun_pch_launcher ${CMAKE_COMMAND} -E env
  CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime)
function(kestrun_test_pch name)
  add_executable(${name} EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tests/common/PchMain.cpp)
  target_link_libraries(${name} PRIVATE ${ARGN})
  kestrun_test_debug_info(${name})
  set_target_properties(${name} PROPERTIES CXX_COMPILER_LAUNCHER "${kestrun_pch_launcher}")
  target_precompile_headers(${name} PRIVATE
    <gtest/gtest.h> <algorithm> <atomic> <chrono> <filesystem> <functional> <memory> <mutex>
    <string> <thread> <vector>)
endfunction()
kestrun_test_pch(kestrun_test_pch GTest::gtest)
if(KESTRUN_BUILD_GUI)
  # Not Qt Test: it defines the test's own build folder, which differs between the programs.
  kestrun_test_pch(kestrun_qt_test_pch GTest::gtest Qt6::Widgets)
  target_precompile_headers(kestrun_qt_test_pch PRIVATE <QtWidgets>)
endif()

# kestrun_reuse_test_pch(dir): the test programs of dir take the precompiled header
# that fits them.
function(kestrun_reuse_test_pch dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
      continue()
    endif()
    get_target_property(libraries ${target} LINK_LIBRARIES)
    if("Qt6::Widgets" IN_LIST libraries)
      target_precompile_headers(${target} REUSE_FROM kestrun_qt_test_pch)
    else()
      target_precompile_headers(${target} REUSE_FROM kestrun_test_pch)
    endif()
    set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER "${kestrun_pch_launcher}")
  endforeach()
endfunction()
