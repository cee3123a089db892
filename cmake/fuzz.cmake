# The fuzz lane: every parser of what comes from outside, fed by libFuzzer
# under AddressSanitizer and UndefinedBehaviorSanitizer (clang). Each target is
# a test that runs for a bounded time from the seed corpus and the kept crash
# inputs in tests/fuzz (scripts/fuzz says how long).
add_compile_options(-g -O1 -Wall -Wextra -Werror -fsanitize=fuzzer-no-link,address,undefined
  -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

include(cmake/portable_library.cmake)

file(GLOB fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(fuzz_source IN LISTS fuzz_sources)
  get_filename_component(target ${fuzz_source} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${target})
  add_executable(${target} ${fuzz_source})
  target_link_libraries(${target} PRIVATE novamend_portable)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  add_test(NAME fuzz.${name}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz --binary $<TARGET_FILE:${target}> --work ${CMAKE_BINARY_DIR} ${name})
endforeach()
