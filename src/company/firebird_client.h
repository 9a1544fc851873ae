// The Firebird client library through its C API. The library is loaded at run
// time, at the first attach, and stays loaded while the client lives; it is
// never linked into the program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "company/database_client.h"
#include "platform/libraries.h"

namespace vantrel::company {

// The file names tried, in order, and where the library belongs: the
// platform's own (firebird_library_win32.cpp, firebird_library_posix.cpp).
extern const char16_t* const kClientLibraryNames[2];
extern const char16_t kLibraryPlace[];

// Kind names of the failures this client raises.
inline constexpr char16_t kClientErrorKind[] = u"EIBNativeException";  // reported by the client library
inline constexpr char16_t kClientLoadKind[] = u"EFDException";         // the library is unusable

// The prefix of a client-library failure's message; the library's error lines
// follow, joined by CR LF.
inline constexpr char16_t kClientErrorPrefix[] = u"Firebird client error:\r\n";

class FirebirdClient : public DatabaseClient {
public:
    explicit FirebirdClient(platform::Libraries& libraries);
    // A library that loaded stays loaded until the process ends: unloading a
    // database client whose own threads may still run is not safe.
    ~FirebirdClient() override;
    FirebirdClient(const FirebirdClient&) = delete;
    FirebirdClient& operator=(const FirebirdClient&) = delete;

    // Loads the library first when no earlier attach did. A library that does not
    // load fails with kClientLoadKind and a text that names both file names, the
    // system's reason and where the library belongs.
    std::unique_ptr<DatabaseSession> Attach(const AttachParameters& parameters) override;

    struct Api;  // the library's functions

private:
    const Api& Load();

    platform::Libraries& libraries_;
    std::unique_ptr<Api> api_;
};

// One name tried and how its load failed.
struct LoadAttempt {
    std::u16string name;
    platform::LibraryLoad load;
};

// The message of a failed load, from every name's outcome in the order tried:
// each name found but built for another processor, then the last system error
// number (where the system gives one), the names tried, the system's text for
// the last failure, and where the library belongs.
std::u16string LoadFailureText(const std::vector<LoadAttempt>& attempts);

}  // namespace vantrel::company
