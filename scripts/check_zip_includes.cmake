# Run by CTest: the zip component stands below the backup: no file of zip/
# includes a file of backup/.
#   -DZIP_DIR=<folder>   the zip/ folder
cmake_minimum_required(VERSION 3.16)
file(GLOB sources "${ZIP_DIR}/*.h" "${ZIP_DIR}/*.cpp")
set(failures "")
foreach(file IN LISTS sources)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"backup/")
  foreach(line IN LISTS includes)
    list(APPEND failures "${file}: ${line}")
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "zip/ includes backup/:\n${text}")
endif()
