# Run by cpack after it made the packages (CPACK_POST_BUILD_SCRIPTS). cpack gives a package
# with a library in /usr/lib a postinst and a postrm that call ldconfig; Debian wants the
# ldconfig trigger instead (the control file "triggers" of libquillet1 and libquilletc1), so the
# two scripts are taken out of those packages again, which are rebuilt with dpkg-deb.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    cmake_path(GET deb FILENAME name)
    if(NOT name MATCHES "^libquilletc?1_.*\\.deb$")
        continue()
    endif()
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${deb}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
