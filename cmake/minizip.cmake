# minizip, compiled from the sources that scripts/setup fetched, for whichever
# lane includes this: the zip layer reads archives from outside in every lane.
set(minizip_dir ${PROJECT_SOURCE_DIR}/build/third_party/minizip)
if(EXISTS ${minizip_dir}/unzip.c AND EXISTS ${minizip_dir}/zip.c)
  add_library(minizip STATIC ${minizip_dir}/unzip.c ${minizip_dir}/zip.c ${minizip_dir}/ioapi.c)
  target_include_directories(minizip SYSTEM PUBLIC ${minizip_dir})
  target_compile_options(minizip PRIVATE -w)
  target_link_libraries(minizip PUBLIC z)
else()
  message(FATAL_ERROR "minizip sources missing: run scripts/setup")
endif()
