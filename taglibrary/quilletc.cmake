# libquilletc: the C interface (quilletc.h) over the same engine as libquillet, for programs in
# any language. Its own SONAME, header, pkg-config file, CMake package and Debian packages
# (libquilletc1, libquilletc-dev); only the functions named quillet_ are exported.
add_library(quilletc SHARED quilletc.h quilletc.cpp)
quillet_link_engine(quilletc)
tagdesk_public_library(quilletc)
target_compile_definitions(quilletc PRIVATE QUILLETC_BUILD QUILLET_BUILD
    QUILLETC_VERSION="${PROJECT_VERSION}")
