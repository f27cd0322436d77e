# Run by CPack after the files are staged and before the packages are made: the programs lose
# the sections that Debian's own dh_strip takes out (.comment and .note), besides their symbols.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/usr/bin/*")
foreach(program IN LISTS programs)
    execute_process(COMMAND strip --strip-all --remove-section=.comment --remove-section=.note
                            "${program}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "strip failed on ${program}")
    endif()
endforeach()
