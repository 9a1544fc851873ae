#include "testing/fake_firebird_api.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace vantrel::testing {

FirebirdStub firebird_stub;

namespace {

FirebirdStub& stub = firebird_stub;

// A handle value: a pointer on 32-bit builds, a number on 64-bit ones.
template <typename Handle>
Handle MakeHandle(unsigned value) {
    if constexpr (std::is_pointer_v<Handle>) {
        return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(value));
    } else {
        return static_cast<Handle>(value);
    }
}

ISC_STATUS Fail(ISC_STATUS* status, ISC_STATUS code) {
    status[0] = isc_arg_gds;
    status[1] = code;
    status[2] = isc_arg_end;
    stub.interpreted = 0;
    return code;
}

// An injected failure: a lost connection, which the library explains without
// lines of its own.
bool Injected(const char* point, ISC_STATUS* status) {
    if (!platform::Faulted(stub.faults, point)) return false;
    stub.interpreted = stub.lines.size();
    Fail(status, isc_network_error);
    return true;
}

ISC_STATUS ISC_EXPORT Attach(ISC_STATUS* status, short length, const ISC_SCHAR* name, isc_db_handle* db,
                             short dpb_length, const ISC_SCHAR* dpb) {
    stub.database.assign(name, static_cast<std::size_t>(length));
    stub.dpb.assign(dpb, static_cast<std::size_t>(dpb_length));
    if (Injected("firebird.attach", status)) return status[1];
    if (stub.attach_error) return Fail(status, stub.attach_error);
    *db = MakeHandle<isc_db_handle>(1);
    ++stub.attachments_open;
    return 0;
}
ISC_STATUS ISC_EXPORT Detach(ISC_STATUS*, isc_db_handle* db) {
    ++stub.detaches;
    if (*db) --stub.attachments_open;
    *db = {};
    return 0;
}
ISC_STATUS ISC_EXPORT_VARARG Start(ISC_STATUS* status, isc_tr_handle* tr, short, ...) {
    if (Injected("firebird.start_transaction", status)) return status[1];
    ++stub.transactions;
    ++stub.transactions_open;
    *tr = MakeHandle<isc_tr_handle>(2);
    return 0;
}
ISC_STATUS ISC_EXPORT Rollback(ISC_STATUS*, isc_tr_handle* tr) {
    ++stub.rollbacks;
    if (*tr) --stub.transactions_open;
    *tr = {};
    return 0;
}
ISC_STATUS ISC_EXPORT Allocate(ISC_STATUS* status, isc_db_handle*, isc_stmt_handle* stmt) {
    if (Injected("firebird.allocate_statement", status)) return status[1];
    ++stub.statements_open;
    *stmt = MakeHandle<isc_stmt_handle>(3);
    return 0;
}
ISC_STATUS ISC_EXPORT Free(ISC_STATUS*, isc_stmt_handle* stmt, unsigned short option) {
    if (option == DSQL_drop && *stmt) {
        --stub.statements_open;
        *stmt = {};
    }
    return 0;
}
void Describe(XSQLDA* sqlda) {
    sqlda->sqld = 1;
    if (sqlda->sqln < 1) return;
    XSQLVAR& var = sqlda->sqlvar[0];
    var.sqltype = static_cast<ISC_SHORT>(stub.type | 1);
    var.sqlscale = stub.scale;
    var.sqllen = static_cast<ISC_SHORT>(stub.type == SQL_VARYING ? stub.data.size() - 2 : stub.data.size());
}
ISC_STATUS ISC_EXPORT Prepare(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*, unsigned short length,
                              const ISC_SCHAR* sql, unsigned short dialect, XSQLDA* sqlda) {
    stub.sql = length == 0 ? std::string(sql) : std::string(sql, length);
    stub.dialect = dialect;
    if (Injected("firebird.prepare", status)) return status[1];
    if (stub.prepare_error) return Fail(status, stub.prepare_error);
    Describe(sqlda);
    return 0;
}
ISC_STATUS ISC_EXPORT DescribeOutput(ISC_STATUS* status, isc_stmt_handle*, unsigned short, XSQLDA* sqlda) {
    if (Injected("firebird.describe", status)) return status[1];
    Describe(sqlda);
    return 0;
}
ISC_STATUS ISC_EXPORT Execute(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                              const XSQLDA*) {
    if (Injected("firebird.execute", status)) return status[1];
    return 0;
}
ISC_STATUS ISC_EXPORT Fetch(ISC_STATUS* status, isc_stmt_handle*, unsigned short, const XSQLDA* sqlda) {
    if (Injected("firebird.fetch", status)) return status[1];
    if (!stub.row) return 100;
    const XSQLVAR& var = sqlda->sqlvar[0];
    if (var.sqltype & 1) *var.sqlind = stub.null ? -1 : 0;
    std::memcpy(var.sqldata, stub.data.data(), stub.data.size());
    return 0;
}
ISC_LONG ISC_EXPORT Interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** vector) {
    if (stub.interpreted >= stub.lines.size()) return 0;
    const std::string& line = stub.lines[stub.interpreted++];
    std::snprintf(buffer, size, "%s", line.c_str());
    *vector += 2;
    return static_cast<ISC_LONG>(line.size());
}

}  // namespace

void ResetFirebirdStub() { stub = FirebirdStub{}; }

std::map<std::string, void*> FirebirdFunctions() {
    return {
        {"isc_attach_database", reinterpret_cast<void*>(&Attach)},
        {"isc_detach_database", reinterpret_cast<void*>(&Detach)},
        {"isc_start_transaction", reinterpret_cast<void*>(&Start)},
        {"isc_rollback_transaction", reinterpret_cast<void*>(&Rollback)},
        {"isc_dsql_allocate_statement", reinterpret_cast<void*>(&Allocate)},
        {"isc_dsql_prepare", reinterpret_cast<void*>(&Prepare)},
        {"isc_dsql_describe", reinterpret_cast<void*>(&DescribeOutput)},
        {"isc_dsql_execute", reinterpret_cast<void*>(&Execute)},
        {"isc_dsql_fetch", reinterpret_cast<void*>(&Fetch)},
        {"isc_dsql_free_statement", reinterpret_cast<void*>(&Free)},
        {"fb_interpret", reinterpret_cast<void*>(&Interpret)},
    };
}

std::string Varying(const std::string& text) {
    const auto length = static_cast<ISC_SHORT>(text.size());
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes + text;
}

}  // namespace vantrel::testing
