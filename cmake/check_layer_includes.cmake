# Stops with an error when a source file includes a header from a folder its layer may not use.
# Used by trasslo_layer() at configure time, and as a script at build time and by a test:
#   cmake -DLAYER_CONFIG=file.cmake -P check_layer_includes.cmake
# where file.cmake sets LAYER (the folder), ALLOWED (the folders it may include) and FILES.
cmake_policy(SET CMP0057 NEW)

function(trasslo_check_layer_includes layer allowed files)
  foreach(file IN LISTS files)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "\"([^\"]+)\"" unused "${line}")
      get_filename_component(folder "${CMAKE_MATCH_1}" DIRECTORY)
      if(folder STREQUAL "")
        continue()
      endif()
      if(NOT folder IN_LIST allowed)
        message(FATAL_ERROR "${file}: the ${layer} layer includes \"${CMAKE_MATCH_1}\" from "
                            "${folder}/, which is not below it (it may use: ${allowed})")
      endif()
    endforeach()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED LAYER_CONFIG)
  include("${LAYER_CONFIG}")
  trasslo_check_layer_includes("${LAYER}" "${ALLOWED}" "${FILES}")
endif()
