# The portable files (those that build without Win32) as one library, for the
# lanes that build natively under the sanitizers.
novamend_select_portable(portable_sources ${library_sources})
include(cmake/minizip.cmake)
add_library(novamend_portable STATIC ${portable_sources})
target_include_directories(novamend_portable PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
# The patch codec's libraries, Debian's own in the native lanes.
target_link_libraries(novamend_portable PUBLIC minizip lzma divsufsort)
