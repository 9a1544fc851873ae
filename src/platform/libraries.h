// Shared libraries loaded at run time, and the functions they export.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantrel::platform {

// A loaded library. Destroying it unloads the library.
class Library {
public:
    virtual ~Library() = default;

    // The address of the exported function `name`, or nullptr when the library
    // exports none of that name.
    virtual void* Symbol(const char* name) = 0;
};

struct LibraryLoad {
    std::unique_ptr<Library> library;  // set when the library loaded
    // The system's error number when it did not load (Windows error codes); 0 on
    // POSIX, whose loader reports a text only.
    std::uint32_t error = 0;
    // The system's text for the failure, without trailing blanks, line breaks and
    // periods.
    std::u16string error_text;
    // A file of that name was found but is not a library for this program's
    // processor architecture.
    bool other_architecture = false;
};

class Libraries {
public:
    virtual ~Libraries() = default;

    // Loads the library `name` (a file name, searched for the way the system
    // searches for libraries, or a path). Never shows a system dialog.
    virtual LibraryLoad Load(const std::u16string& name) = 0;
};

// The real loader. Lives for the whole process.
Libraries& RealLibraries();

}  // namespace vantrel::platform
