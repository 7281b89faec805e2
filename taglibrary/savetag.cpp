#include "quillet.h"

int saveTag(const std::wstring &path, tagstruct *tag)
{
    (void)path;
    (void)tag;
    return -1;
}
