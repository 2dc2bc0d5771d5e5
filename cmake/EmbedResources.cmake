# Program resources: every file named in resources/resources.txt is compiled into the
# program as a byte array, looked up at run time by name and type (findResource).
function(domecast_embed_resources)
set(DOMECAST_RESOURCE_LIST ${CMAKE_SOURCE_DIR}/resources/resources.txt)
set(DOMECAST_RESOURCE_SOURCE ${CMAKE_BINARY_DIR}/generated/resources.cpp)

file(STRINGS ${DOMECAST_RESOURCE_LIST} _resource_lines REGEX "^[^#]")
set(_resource_files)
foreach(_line ${_resource_lines})
  string(REGEX REPLACE "^[^ \t]+[ \t]+[^ \t]+[ \t]+" "" _file "${_line}")
  list(APPEND _resource_files ${CMAKE_SOURCE_DIR}/resources/${_file})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${DOMECAST_RESOURCE_LIST})

add_custom_command(
  OUTPUT ${DOMECAST_RESOURCE_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DLIST=${DOMECAST_RESOURCE_LIST}
          -DDIR=${CMAKE_SOURCE_DIR}/resources -DOUT=${DOMECAST_RESOURCE_SOURCE}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
  DEPENDS ${DOMECAST_RESOURCE_LIST} ${_resource_files} ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
  COMMENT "Embedding program resources"
  VERBATIM)
endfunction()
