# libquilletc: the C interface (quilletc.h) over the same engine as libquillet, for programs in
# any language. Its own SONAME, header, pkg-config file, CMake package and Debian packages
# (libquilletc1, libquilletc-dev); only the functions named quillet_ are exported.
add_library(quilletc SHARED quilletc.h quilletc.cpp)
quillet_link_engine(quilletc)
target_include_directories(quilletc PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
)
target_compile_definitions(quilletc PRIVATE QUILLETC_BUILD QUILLET_BUILD
    QUILLETC_VERSION="${PROJECT_VERSION}")
set_target_properties(quilletc PROPERTIES
    AUTOMOC OFF
    AUTOUIC OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    PUBLIC_HEADER quilletc.h
)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(_quilletc_map "${CMAKE_CURRENT_SOURCE_DIR}/quilletc.map")
    target_link_options(quilletc PRIVATE "LINKER:--version-script=${_quilletc_map}"
        "LINKER:--no-undefined")
    set_property(TARGET quilletc APPEND PROPERTY LINK_DEPENDS "${_quilletc_map}")
endif()
# quilletc.dll, with the C++ runtime linked in: its callers need none.
if(WIN32)
    set_target_properties(quilletc PROPERTIES PREFIX "")
endif()
add_library(quillet::quilletc ALIAS quilletc)

install(TARGETS quilletc EXPORT quilletcTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libquilletc1
        NAMELINK_COMPONENT libquilletc-dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libquilletc1
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libquilletc-dev
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT libquilletc-dev
)

set(quilletc_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/quilletc)
install(EXPORT quilletcTargets NAMESPACE quillet:: DESTINATION ${quilletc_cmake_dir}
    COMPONENT libquilletc-dev)
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/quilletcConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
install(FILES quilletcConfig.cmake "${CMAKE_CURRENT_BINARY_DIR}/quilletcConfigVersion.cmake"
    DESTINATION ${quilletc_cmake_dir} COMPONENT libquilletc-dev)

# quilletc.pc, written at install time for the prefix it is installed under, as quillet.pc.
set(QUILLET_PREFIX "@QUILLET_PREFIX@")
configure_file(quilletc.pc.in "${CMAKE_CURRENT_BINARY_DIR}/quilletc.pc.in" @ONLY)
install(CODE "
    set(QUILLET_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${CMAKE_CURRENT_BINARY_DIR}/quilletc.pc.in\"
        \"${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/quilletc.pc\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
        TYPE FILE FILES \"${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/quilletc.pc\")
" COMPONENT libquilletc-dev)
