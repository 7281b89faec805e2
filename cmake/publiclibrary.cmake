# tagdesk_public_library(<name>): what makes a shared library of this tree one that other programs
# build with, for libquillet and libquilletc alike. The library keeps its own header
# (<name>.h), linker version script (<name>.map, Linux: only the functions of its interface stay
# in the dynamic symbol table), SONAME from the project's major version, DLL name without the
# "lib" prefix, alias <name>::... as quillet::<name>, CMake package (find_package(<name>) from
# <name>Config.cmake) and pkg-config file (<name>.pc.in). The components are its Debian packages
# (cmake/packaging.cmake): the library itself in lib<name>1, what programs build with in
# lib<name>-dev.
include(CMakePackageConfigHelpers)

function(tagdesk_public_library name)
    set(dir "${CMAKE_CURRENT_SOURCE_DIR}")
    set(binary "${CMAKE_CURRENT_BINARY_DIR}")
    set(runtime lib${name}${PROJECT_VERSION_MAJOR})
    set(dev lib${name}-dev)
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${dir}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    )
    set_target_properties(${name} PROPERTIES
        AUTOMOC OFF
        AUTOUIC OFF
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
        PUBLIC_HEADER ${name}.h
    )
    # Hidden visibility alone still exports template code the library instantiates.
    if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
        target_link_options(${name} PRIVATE "LINKER:--version-script=${dir}/${name}.map"
            "LINKER:--no-undefined")
        set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS "${dir}/${name}.map")
    endif()
    if(WIN32)
        set_target_properties(${name} PROPERTIES PREFIX "")
    endif()
    add_library(quillet::${name} ALIAS ${name})

    install(TARGETS ${name} EXPORT ${name}Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${runtime}
            NAMELINK_COMPONENT ${dev}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${runtime}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${dev}
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${dev}
    )
    # The generated files find the installed tree relative to themselves: any prefix works.
    set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${name})
    install(EXPORT ${name}Targets NAMESPACE quillet:: DESTINATION ${cmake_dir} COMPONENT ${dev})
    write_basic_package_version_file("${binary}/${name}ConfigVersion.cmake"
        COMPATIBILITY SameMajorVersion)
    install(FILES ${name}Config.cmake "${binary}/${name}ConfigVersion.cmake"
        DESTINATION ${cmake_dir} COMPONENT ${dev})

    # The .pc file names the prefix it is installed under, so it is written at install time
    # (cmake --install --prefix, or cpack's /usr); everything else is filled in now, the prefix
    # placeholder kept for that second step.
    set(QUILLET_PREFIX "@QUILLET_PREFIX@")
    configure_file(${name}.pc.in "${binary}/${name}.pc.in" @ONLY)
    install(CODE "
        set(QUILLET_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
        configure_file(\"${binary}/${name}.pc.in\" \"${binary}/pkgconfig/${name}.pc\" @ONLY)
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
            TYPE FILE FILES \"${binary}/pkgconfig/${name}.pc\")
    " COMPONENT ${dev})
endfunction()
