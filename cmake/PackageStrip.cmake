# Run by CPack on the staged files before it packs them (CPACK_PRE_BUILD_SCRIPTS): the programs lose the
# compiler's .comment section as well, as Debian's own packaging strips them.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  execute_process(COMMAND "${CPACK_NYXEL_OBJCOPY}" --remove-section=.comment "${program}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "objcopy failed on ${program}")
  endif()
endforeach()
if(NOT programs)
  message(FATAL_ERROR "no programs in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
