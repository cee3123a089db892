// posix: the portable list reader needs nothing of its thread.
#include "tool/reader_apartment.h"

namespace nm::tool {

ReaderApartment::ReaderApartment() = default;
ReaderApartment::~ReaderApartment() = default;

}  // namespace nm::tool
