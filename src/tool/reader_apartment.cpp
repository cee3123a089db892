#include "tool/reader_apartment.h"

#include <objbase.h>

namespace nm::tool {

ReaderApartment::ReaderApartment() : entered_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ReaderApartment::~ReaderApartment() {
    if (entered_) ::CoUninitialize();
}

}  // namespace nm::tool
