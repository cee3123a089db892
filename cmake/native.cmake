# The native lane: portable files and their tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, to catch memory faults that Wine cannot.
add_compile_options(-Wall -Wextra -Werror -fsanitize=address,undefined -fno-omit-frame-pointer
  -fno-sanitize-recover=all)
add_link_options(-fsanitize=address,undefined)

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
