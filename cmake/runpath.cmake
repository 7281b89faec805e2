# How installed programs find libquillet. Where the lib folder is one the loader searches anyway
# (/usr/lib/<multiarch> for the prefix /usr), nothing carries a run path, as a distribution's
# programs do; under any other prefix the programs get one relative to themselves
# ($ORIGIN/../lib), so the installed tree may be moved as a whole.
#
# Included after qt_standard_project_setup(), whose run path $ORIGIN:$ORIGIN/../lib for every
# target this replaces: the library needs none of its own.
set(CMAKE_INSTALL_RPATH "")

# The compiler's list is asked as well as the platform's: on Debian only the compiler's names the
# multiarch folder.
if("${CMAKE_INSTALL_FULL_LIBDIR}" IN_LIST CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES
        OR "${CMAKE_INSTALL_FULL_LIBDIR}" IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
    set(TAGDESK_PROGRAM_RUNPATH "")
else()
    file(RELATIVE_PATH _tagdesk_bin_to_lib
        "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
    set(TAGDESK_PROGRAM_RUNPATH "$ORIGIN/${_tagdesk_bin_to_lib}")
endif()

# tagdesk_install_runpath(<target>): the run path of an installed program, as above.
function(tagdesk_install_runpath target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${TAGDESK_PROGRAM_RUNPATH}")
endfunction()
