# The native lane: portable files and their tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, to catch memory faults that Wine cannot.
# NOVAMEND_SANITIZE=OFF gives a plain optimised build, for timing the portable
# benchmarks (bench/deltas.py makes one in build/bench-native).
option(NOVAMEND_SANITIZE "build the native lane under the sanitizers" ON)
add_compile_options(-Wall -Wextra -Werror)
if(NOVAMEND_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

include(cmake/portable_library.cmake)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

file(GLOB_RECURSE all_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_test.cpp)
novamend_select_portable(portable_tests ${all_tests})
if(portable_tests)
  add_executable(portable_tests ${portable_tests})
  target_link_libraries(portable_tests PRIVATE novamend_portable gtest gtest_main)
  target_include_directories(portable_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  gtest_add_tests(TARGET portable_tests TEST_PREFIX "native." SOURCES ${portable_tests})
endif()

# The vendor tool's commands that need no Windows interface, for release
# pipelines without Wine: its portable files, with POSIX stand-ins for the
# few Win32 ones (first line "// posix:"), Debian's mbedTLS, and Debian's
# libcurl for the GETs of verify.
file(GLOB tool_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/tool/*.cpp)
novamend_select_portable(native_tool_sources ${tool_sources})
file(GLOB posix_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*/*_posix.cpp)
add_executable(novamend-tool ${native_tool_sources} ${posix_sources})
find_package(CURL REQUIRED)
target_link_libraries(novamend-tool PRIVATE novamend_portable mbedcrypto CURL::libcurl)

# Benchmark programs that need no Win32 (first line "// portable:").
file(GLOB bench_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
novamend_select_portable(portable_benches ${bench_sources})
foreach(bench_source IN LISTS portable_benches)
  get_filename_component(bench ${bench_source} NAME_WE)
  add_executable(${bench} ${bench_source})
  target_link_libraries(${bench} PRIVATE novamend_portable)
endforeach()
