# The layers. Each folder of src/ is one layer: one static library that links only the layers
# below it. A wrong-way include stops the build: every quoted include of the folder's files is
# checked against the folders the layer may use, when the build is configured and again whenever
# one of the files changes.
include(${CMAKE_CURRENT_LIST_DIR}/check_layer_includes.cmake)

# trasslo_layer(NAME SOURCES file.cpp... [DEPENDS layer...] [LIBS target...])
# Makes the library trasslo_NAME from the folder's sources. A layer may include its own folder,
# the folders of the layers it DEPENDS on and theirs in turn.
function(trasslo_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LIBS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(target trasslo_${name})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src
                                              ${PROJECT_BINARY_DIR}/generated)
  set(allowed ${folder})
  foreach(dep IN LISTS ARG_DEPENDS)
    target_link_libraries(${target} PUBLIC trasslo_${dep})
    get_property(dep_allowed GLOBAL PROPERTY TRASSLO_LAYER_ALLOWED_${dep})
    list(APPEND allowed ${dep_allowed})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  if(ARG_LIBS)
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
  endif()
  set_property(GLOBAL PROPERTY TRASSLO_LAYER_ALLOWED_${name} "${allowed}")
  set_property(GLOBAL APPEND PROPERTY TRASSLO_LAYERS ${target})

  file(GLOB own_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  trasslo_check_layer_includes(${folder} "${allowed}" "${own_files}")
  set(config ${PROJECT_BINARY_DIR}/layers/${name}.cmake)
  file(CONFIGURE OUTPUT ${config} CONTENT
       "set(LAYER \"${folder}\")\nset(ALLOWED \"${allowed}\")\nset(FILES \"${own_files}\")\n")
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/layers/${name}.checked
    COMMAND ${CMAKE_COMMAND} -DLAYER_CONFIG=${config}
            -P ${PROJECT_SOURCE_DIR}/cmake/check_layer_includes.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/layers/${name}.checked
    DEPENDS ${own_files} ${config} ${PROJECT_SOURCE_DIR}/cmake/check_layer_includes.cmake
    COMMENT "Includes of the ${folder} layer" VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${PROJECT_BINARY_DIR}/layers/${name}.checked)
  add_dependencies(${target} ${target}_includes)
endfunction()
