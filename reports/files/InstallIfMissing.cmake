# Copies each report file (*.rpt) of SOURCE into DESTINATION unless a file
# of that name is already there.
file(MAKE_DIRECTORY ${DESTINATION})
file(GLOB reports RELATIVE ${SOURCE} ${SOURCE}/*.rpt)
foreach(name IN LISTS reports)
  if(NOT EXISTS ${DESTINATION}/${name})
    file(COPY ${SOURCE}/${name} DESTINATION ${DESTINATION})
    message(STATUS "Installed ${DESTINATION}/${name}")
  endif()
endforeach()
