# The tests' scratch files stay in the build tree. Each test runs with TMPDIR on one folder
# there, emptied before the tests start (scratch.setup) and checked after they all end
# (scratch.left): a test that leaves anything there fails that check, whoever leaves it.
# Caches that the window tests fill (Mesa's shaders, fontconfig's) land beside it.
#
# Included by the CMake lists; run as a script, it is the setup or the check:
#   cmake -DSCRATCH=<folder> -DSTEP=setup|check -P TestScratch.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  if(STEP STREQUAL "setup")
    file(REMOVE_RECURSE "${SCRATCH}")
    file(MAKE_DIRECTORY "${SCRATCH}")
  elseif(STEP STREQUAL "check")
    file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE "${SCRATCH}" "${SCRATCH}/*")
    if(left)
      list(JOIN left "\n  " listed)
      message(FATAL_ERROR "the tests left in ${SCRATCH}:\n  ${listed}")
    endif()
    file(REMOVE_RECURSE "${SCRATCH}")
  else()
    message(FATAL_ERROR "usage: cmake -DSCRATCH=<folder> -DSTEP=setup|check -P TestScratch.cmake")
  endif()
  return()
endif()

set(FERROX_TEST_SCRATCH "${CMAKE_BINARY_DIR}/test-tmp")
foreach(step setup check)
  add_test(NAME scratch.${step} COMMAND "${CMAKE_COMMAND}" -DSCRATCH=${FERROX_TEST_SCRATCH}
    -DSTEP=${step} -P "${CMAKE_CURRENT_LIST_FILE}")
endforeach()
set_tests_properties(scratch.setup PROPERTIES FIXTURES_SETUP scratch)
set_tests_properties(scratch.check PROPERTIES FIXTURES_CLEANUP scratch)

# Every test added so far in the calling directory, but the setup and the check, runs there.
# (The unit tests, found at test time, take the same through gtest_discover_tests.)
function(ferrox_test_scratch)
  get_property(tests DIRECTORY PROPERTY TESTS)
  list(REMOVE_ITEM tests scratch.setup scratch.check)
  foreach(test IN LISTS tests)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "TMPDIR=${FERROX_TEST_SCRATCH}"
      "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-cache")
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED scratch)
  endforeach()
endfunction()
