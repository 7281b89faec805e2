# find_package(quilletc): the imported target quillet::quilletc, the shared library libquilletc
# with its header quilletc.h, a plain C interface (opaque handles, UTF-8 text): it can be called
# from C and from any language, whatever its runtime.
include("${CMAKE_CURRENT_LIST_DIR}/quilletcTargets.cmake")
