# find_package(quillet): the imported target quillet::quillet, the shared library libquillet with
# its header quillet.h (readTag, saveTag and the record tagstruct). Its callers share the C++
# runtime with it: the record holds std::wstring and a cover buffer released with delete[].
include("${CMAKE_CURRENT_LIST_DIR}/quilletTargets.cmake")
