// A stand-in for the Firebird client library's C API, for unit tests: functions
// that follow the API's contract (its calling conventions included), handed to
// the client through FakeLibraries. It records what it was asked, answers with
// one set column, counts the attachments, transactions and statements still
// open, and can make every call that reaches the database a failure point.
//
// C functions carry no state of their own: there is one stand-in per process,
// `firebird_stub`, which each test resets.
#pragma once

#include "testing/test_only.h"

#include <ibase.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "testing/fault_plan.h"

namespace vantrel::testing {

struct FirebirdStub {
    // What the library was asked.
    std::string database, dpb, sql;
    unsigned short dialect = 0;

    // Failures: the attach or the prepare fails with this code, and
    // fb_interpret gives these lines for a failure.
    ISC_STATUS attach_error = 0;
    ISC_STATUS prepare_error = 0;
    std::vector<std::string> lines;
    std::size_t interpreted = 0;

    // Calls made, and what is still open.
    int transactions = 0, rollbacks = 0, detaches = 0;
    int attachments_open = 0, transactions_open = 0, statements_open = 0;

    // The one column: its SQL type (without the NULL flag), scale and data
    // area; NULL, or no row at all.
    ISC_SHORT type = SQL_VARYING;
    ISC_SHORT scale = 0;
    std::string data;
    bool null = false;
    bool row = true;

    // Every call that reaches the database (attach, start, allocate, prepare,
    // describe, execute, fetch) is a failure point of this plan, when set; the
    // failure is a network error without lines.
    platform::FaultPlan* faults = nullptr;
};

extern FirebirdStub firebird_stub;

// A fresh stand-in: nothing asked, nothing open, no failures.
void ResetFirebirdStub();

// The functions the client takes from the library, by their exported names.
std::map<std::string, void*> FirebirdFunctions();

// A VARCHAR's data area: the length, then the bytes.
std::string Varying(const std::string& text);

}  // namespace vantrel::testing
