# The Windows lane: the program, its tools and every test, run under Wine.
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# Warnings are errors. The one exception: casting what GetProcAddress returns
# to the function's own type is how Win32 hands out entry points.
add_compile_options(-Wall -Wextra -Werror -Wno-cast-function-type)
add_link_options(-static -static-libgcc -static-libstdc++)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

set(win32_libraries wininet ole32 oleaut32 uuid shell32 shlwapi comctl32 psapi
  gdi32 user32 msimg32 version advapi32 bcrypt)

include(cmake/minizip.cmake)

# The patch codec's libraries, built for Windows by scripts/setup (their
# headers count as the system's, as those of imported libraries do).
set(codec_prefix ${PROJECT_SOURCE_DIR}/build/third_party/mingw)
foreach(codec_library IN ITEMS lzma divsufsort)
  if(NOT EXISTS ${codec_prefix}/lib/lib${codec_library}.a)
    message(FATAL_ERROR "lib${codec_library} for Windows missing: run scripts/setup")
  endif()
  add_library(${codec_library} STATIC IMPORTED)
  set_target_properties(${codec_library} PROPERTIES
    IMPORTED_LOCATION ${codec_prefix}/lib/lib${codec_library}.a
    INTERFACE_INCLUDE_DIRECTORIES ${codec_prefix}/include)
endforeach()
# The vendor tool's signing library, built for Windows the same way.
if(NOT EXISTS ${codec_prefix}/lib/libmbedcrypto.a)
  message(FATAL_ERROR "libmbedcrypto for Windows missing: run scripts/setup")
endif()
add_library(mbedcrypto STATIC IMPORTED)
set_target_properties(mbedcrypto PROPERTIES
  IMPORTED_LOCATION ${codec_prefix}/lib/libmbedcrypto.a
  INTERFACE_INCLUDE_DIRECTORIES ${codec_prefix}/include)
# Linked into the program, not imported from a DLL.
set_property(TARGET lzma PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)

add_library(novamend_core STATIC ${library_sources})
target_include_directories(novamend_core PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(novamend_core PUBLIC minizip lzma divsufsort ${win32_libraries})

set(resource_script ${PROJECT_SOURCE_DIR}/src/res/novamend.rc)
add_executable(novamend WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp ${resource_script})
target_link_libraries(novamend PRIVATE novamend_core)
target_link_options(novamend PRIVATE -municode)
set_property(SOURCE ${resource_script} APPEND PROPERTY OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/res/novamend.manifest ${PROJECT_SOURCE_DIR}/src/res/default.ini)
file(GLOB resource_inputs LIST_DIRECTORIES false CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/res/*)
set_property(SOURCE ${resource_script} APPEND PROPERTY OBJECT_DEPENDS ${resource_inputs})

# The built-in language tables: UTF-8 in the sources, stored in their own code
# pages (936 simplified, 950 traditional Chinese) in the build tree only.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(language_dir ${CMAKE_BINARY_DIR}/lang)
set(language_tables)
foreach(table IN ITEMS "novamendcn.lan|cp936" "novamendbig.lan|cp950")
  string(REPLACE "|" ";" table "${table}")
  list(GET table 0 table_name)
  list(GET table 1 code_page)
  add_custom_command(OUTPUT ${language_dir}/${table_name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${language_dir}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/src/res/lang/encode.py
      ${PROJECT_SOURCE_DIR}/src/res/lang/${table_name} ${language_dir}/${table_name} ${code_page}
    DEPENDS ${PROJECT_SOURCE_DIR}/src/res/lang/${table_name} ${PROJECT_SOURCE_DIR}/src/res/lang/encode.py
    VERBATIM)
  list(APPEND language_tables ${language_dir}/${table_name})
endforeach()
add_custom_target(novamend_language_tables DEPENDS ${language_tables})
add_dependencies(novamend novamend_language_tables)
set_property(SOURCE ${resource_script} APPEND PROPERTY OBJECT_DEPENDS ${language_tables})
target_include_directories(novamend PRIVATE ${language_dir})

# The pictures of the windows, drawn into the build tree by a script that needs
# Pillow (Debian's python3-pil, made for the system's python3: another python3
# found first on the PATH may lack it, so every python3 on the PATH is tried).
set(picture_python)
set(python_candidates ${Python3_EXECUTABLE})
string(REPLACE ":" ";" path_dirs "$ENV{PATH}")
foreach(dir IN LISTS path_dirs)
  if(EXISTS ${dir}/python3)
    list(APPEND python_candidates ${dir}/python3)
  endif()
endforeach()
foreach(candidate IN LISTS python_candidates)
  execute_process(COMMAND ${candidate} -c "import PIL"
    RESULT_VARIABLE pillow_missing OUTPUT_QUIET ERROR_QUIET)
  if(pillow_missing EQUAL 0)
    set(picture_python ${candidate})
    break()
  endif()
endforeach()
if(NOT picture_python)
  message(FATAL_ERROR "no python3 with Pillow: run scripts/setup")
endif()
set(picture_dir ${CMAKE_BINARY_DIR}/pictures)
set(picture_script ${PROJECT_SOURCE_DIR}/src/res/pictures/make_pictures.py)
set(pictures)
foreach(picture IN ITEMS background.gif bar.gif
    minimise_normal.gif minimise_pressed.gif minimise_hover.gif minimise_disabled.gif
    hide_normal.gif hide_pressed.gif hide_hover.gif hide_disabled.gif
    tray_background.bmp tray_close.bmp cell_empty.bmp cell_filled.bmp novamend.ico)
  list(APPEND pictures ${picture_dir}/${picture})
endforeach()
add_custom_command(OUTPUT ${pictures}
  COMMAND ${picture_python} ${picture_script} ${picture_dir}
  DEPENDS ${picture_script}
  VERBATIM)
add_custom_target(novamend_pictures DEPENDS ${pictures})
add_dependencies(novamend novamend_pictures)
set_property(SOURCE ${resource_script} APPEND PROPERTY OBJECT_DEPENDS ${pictures})
target_include_directories(novamend PRIVATE ${picture_dir})

# The vendor tool: brands the program and prepares what a vendor publishes.
file(GLOB tool_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/tool/*.cpp)
list(FILTER tool_sources EXCLUDE REGEX "_posix\\.cpp$")
add_executable(novamend-tool ${tool_sources})
target_link_libraries(novamend-tool PRIVATE novamend_core mbedcrypto)
target_link_options(novamend-tool PRIVATE -municode)

# The example host: a vendor's view of the protocol, built from the public
# header alone (nothing of ours is linked), in C with warnings as errors.
add_executable(host_example WIN32 ${PROJECT_SOURCE_DIR}/examples/host/host_example.c
  ${PROJECT_SOURCE_DIR}/examples/host/host_example.rc)
set_property(TARGET host_example PROPERTY COMPILE_OPTIONS $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)
target_include_directories(host_example PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(host_example PRIVATE comctl32 shell32 user32)
target_link_options(host_example PRIVATE -municode)

# GoogleTest from Debian's sources, compiled for Windows.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Test programs: one .cpp each under tests/tools.
file(GLOB test_tool_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/tools/*.cpp)
foreach(tool_source IN LISTS test_tool_sources)
  get_filename_component(tool ${tool_source} NAME_WE)
  if(tool MATCHES "_dll$")
    add_library(${tool} SHARED ${tool_source})
    set_target_properties(${tool} PROPERTIES PREFIX "")
  else()
    add_executable(${tool} WIN32 ${tool_source})
    target_link_options(${tool} PRIVATE -municode)
  endif()
  target_link_libraries(${tool} PRIVATE novamend_core)
  target_include_directories(${tool} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
endforeach()

# Unit and in-process integration tests: one program per area of tests/.
foreach(area_dir IN LISTS test_areas)
  get_filename_component(area ${area_dir} NAME)
  file(GLOB area_tests CONFIGURE_DEPENDS ${area_dir}/*_test.cpp)
  if(NOT area_tests)
    continue()
  endif()
  add_executable(${area}_tests ${area_tests})
  target_link_libraries(${area}_tests PRIVATE novamend_core gtest gtest_main)
  target_include_directories(${area}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${area}_tests PRIVATE
    NOVAMEND_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_add_tests(TARGET ${area}_tests TEST_PREFIX "win.${area}." SOURCES ${area_tests})
endforeach()

# The public header stays plain C: a C99 translation unit of its own that
# calls every helper, compiled with warnings as errors.
add_test(NAME host.header_in_c
  COMMAND ${CMAKE_C_COMPILER} -std=c99 -pedantic -Wall -Wextra -Werror -O2 -DUNICODE -D_UNICODE
    -I${PROJECT_SOURCE_DIR}/include -c ${PROJECT_SOURCE_DIR}/tests/include/novamend_host_check.c
    -o ${CMAKE_BINARY_DIR}/novamend_host_check.o)

# End-to-end scenarios: Python drivers that run the real program under Wine
# against real servers.
file(GLOB e2e_scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(scenario IN LISTS e2e_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME e2e.${name}
    COMMAND python3 -m unittest -v ${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/e2e)
  set_tests_properties(e2e.${name} PROPERTIES
    ENVIRONMENT "NOVAMEND_BUILD=${CMAKE_BINARY_DIR}/..;NOVAMEND_BIN=${CMAKE_BINARY_DIR}"
    TIMEOUT 600)
endforeach()
# Scenarios that move the pointer over their windows or answer boxes share one
# display and one pointer: they take turns, so a drag is never crossed by
# another scenario's clicks or windows.
set_tests_properties(e2e.test_progress_window e2e.test_tray_and_dotnet e2e.test_install e2e.test_application_entry
  e2e.test_offline_package e2e.test_signed_release PROPERTIES RESOURCE_LOCK display)

# Benchmarks: console programs under bench/, run by their scripts, not by ctest.
# The portable ones start at a plain main, to build natively as well.
file(GLOB bench_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
novamend_select_portable(portable_benches ${bench_sources})
foreach(bench_source IN LISTS bench_sources)
  get_filename_component(bench ${bench_source} NAME_WE)
  add_executable(${bench} ${bench_source})
  target_link_libraries(${bench} PRIVATE novamend_core)
  if(NOT bench_source IN_LIST portable_benches)
    target_link_options(${bench} PRIVATE -municode)
  endif()
endforeach()
