// The order in which to hand a list of same-named ASF attributes to TagLib so that the saved
// file lists them as the caller sees them.
#ifndef QUILLET_ASFORDER_H
#define QUILLET_ASFORDER_H

#include <taglib/asftag.h>

namespace TagLib {
class File;
}

namespace quillet {

// TagLib 1.13 stores the first attribute of a name that fits the Extended Content Description
// object there and all others in the Metadata Library object, and reads the objects back in
// file order. Where the library object comes first, every save would rotate the list by one:
// this returns the list that reads back as `wanted` from the file `file` is saved to, or
// `wanted` itself where no order does (or the layout is not one modelled here).
TagLib::ASF::AttributeList asfSavingOrder(TagLib::File *file,
                                          const TagLib::ASF::AttributeList &wanted);

} // namespace quillet

#endif // QUILLET_ASFORDER_H
