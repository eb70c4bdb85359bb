# CPack runs this after staging the package's files: the program stripped as Debian's dh_strip
# does it (no symbols, no .comment or .note sections), which CPACK_STRIP_FILES does not do.
set(program "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_TAVREL_PROGRAM}")
execute_process(
    COMMAND "${CPACK_TAVREL_STRIP}" --remove-section=.comment --remove-section=.note
            --strip-unneeded "${program}"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip ${program}: ${status}")
endif()
