# Runs the media generator twice and checks, byte for byte, that the two runs agree and that
# the committed media/ is what the generator writes.
#   cmake -DGENERATOR=... -DSOURCE_MEDIA=... -DWORK_DIR=... -P check_media.cmake
set(expected_files 18)

file(REMOVE_RECURSE "${WORK_DIR}")
foreach(run first second)
  execute_process(COMMAND "${GENERATOR}" "${WORK_DIR}/${run}" RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the generator failed (${rc}) on its ${run} run")
  endif()
endforeach()

file(GLOB_RECURSE files RELATIVE "${WORK_DIR}/first" "${WORK_DIR}/first/*")
list(LENGTH files count)
if(NOT count EQUAL expected_files)
  message(FATAL_ERROR "the generator wrote ${count} files, not ${expected_files}")
endif()
foreach(f IN LISTS files)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                  "${WORK_DIR}/first/${f}" "${WORK_DIR}/second/${f}" RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${f} differs between two runs of the generator")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                  "${WORK_DIR}/first/${f}" "${SOURCE_MEDIA}/${f}" RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "media/${f} is not what the generator writes: run `make media`")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
