# tagdesk_gzipped(<file> <variable>): makes <file> compressed at build time, as Debian keeps man
# pages and changelogs (gzip -9 without a name or a time stamp, so the same file always gives the
# same bytes), and sets <variable> to the compressed file's path. <file> is relative to the
# calling folder or absolute; asking for the same file again gives the same compressed one.
find_program(TAGDESK_GZIP gzip REQUIRED)

function(tagdesk_gzipped file variable)
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" OUTPUT_VARIABLE source)
    cmake_path(GET source FILENAME name)
    set(compressed "${CMAKE_BINARY_DIR}/gzipped/${name}.gz")
    set(${variable} "${compressed}" PARENT_SCOPE)
    string(MAKE_C_IDENTIFIER "gzipped_${name}" target)
    if(TARGET ${target})
        return()
    endif()
    add_custom_command(OUTPUT "${compressed}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/gzipped"
        COMMAND sh -c "\"$0\" -9 -n -c \"$1\" > \"$2\"" "${TAGDESK_GZIP}" "${source}" "${compressed}"
        DEPENDS "${source}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS "${compressed}")
endfunction()
