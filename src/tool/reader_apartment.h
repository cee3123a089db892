#pragma once
// What the update list reader needs of the thread that calls it, for the
// scope of a command: COM on Windows (it reads through the system's XML
// DOM), nothing natively (the portable reader).
namespace nm::tool {

class ReaderApartment {
public:
    ReaderApartment();
    ~ReaderApartment();
    ReaderApartment(const ReaderApartment&) = delete;
    ReaderApartment& operator=(const ReaderApartment&) = delete;

private:
    bool entered_ = false;
};

}  // namespace nm::tool
