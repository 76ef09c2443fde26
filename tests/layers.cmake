# Dependencies between the layers run one way: the program uses the simulation and the
# assets, the assets use the simulation for the tank's file names, and the simulation uses
# neither. Fails naming every include that runs the other way.
#   cmake -DSOURCE_DIR=<the source tree> -P layers.cmake
set(forbidden_sim "app|assets")
set(forbidden_assets "app")
set(broken 0)
foreach(layer sim assets)
  file(GLOB_RECURSE layer_files "${SOURCE_DIR}/src/${layer}/*.h" "${SOURCE_DIR}/src/${layer}/*.cpp")
  foreach(file IN LISTS layer_files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${forbidden_${layer}})/")
    foreach(line IN LISTS includes)
      file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
      message("${name}: ${line}: the ${layer} layer may not use that layer")
      set(broken 1)
    endforeach()
  endforeach()
endforeach()
if(broken)
  message(FATAL_ERROR "a dependency runs against the layers")
endif()
