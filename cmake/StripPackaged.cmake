# Run by CPack on its staged tree before it packs: strips the program as Debian's own
# packages are stripped.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*/games/ferrox")
foreach(program IN LISTS programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                          --strip-unneeded "${program}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
if(NOT programs)
  message(FATAL_ERROR "no program to strip under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
