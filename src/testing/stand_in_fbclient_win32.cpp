// A stand-in for the Firebird client library (fbclient.dll), for end-to-end runs
// of the Windows tool: it exports the functions the tool calls, by the same
// names, with the calling conventions and the status-vector and XSQLDA layouts
// of ibase.h (every function is declared by that header, so a definition that
// strays from it does not compile). It never ships.
//
// It records what it is asked in "fbclient-calls.txt" beside itself, one line a
// call (the parameter blocks item by item; the rollback and the detach say
// whether the run log of the current directory exists yet), and answers from "fbclient-script.txt"
// beside itself, lines of key=value:
//   type=varchar|char|smallint|integer|bigint|null   the column (default varchar)
//   value=TEXT        its value (integers as decimal text, leading zeros allowed)
//   length=N          the column's declared length for varchar and char (default 18)
//   row=none          the statement gives no row
//   fail=attach|prepare|fetch   that call fails
//   code=N            the failure's first status code (default 335544344)
//   line=TEXT         one line of the failure as fb_interpret gives it (repeatable)
#include <windows.h>

#include <ibase.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

HMODULE self = nullptr;

struct Script {
    std::string type = "varchar";
    std::string value;
    int length = 18;
    bool row = true;
    std::string fail;
    ISC_STATUS code = 335544344;
    std::vector<std::string> lines;
};

// A file beside this library.
std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring out(path, n);
    out.erase(out.rfind(L'\\') + 1);
    return out + name;
}

std::string ModuleName() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    std::string out(path, n);
    return out.substr(out.rfind('\\') + 1);
}

void Record(const std::string& line) {
    FILE* file = _wfopen(Beside(L"fbclient-calls.txt").c_str(), L"ab");
    if (file == nullptr) return;
    std::fputs((line + "\n").c_str(), file);
    std::fclose(file);
}

const Script& TheScript() {
    static const Script script = [] {
        Script s;
        Record("library " + ModuleName());
        std::ifstream in(Beside(L"fbclient-script.txt").c_str());
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
            if (key == "type") s.type = value;
            if (key == "value") s.value = value;
            if (key == "length") s.length = std::atoi(value.c_str());
            if (key == "row") s.row = value != "none";
            if (key == "fail") s.fail = value;
            if (key == "code") s.code = std::atol(value.c_str());
            if (key == "line") s.lines.push_back(value);
        }
        return s;
    }();
    return script;
}

ISC_STATUS Succeed(ISC_STATUS* status) {
    status[0] = isc_arg_gds;
    status[1] = 0;
    status[2] = isc_arg_end;
    return 0;
}

// The scripted failure: one status code a line, each the code before plus one.
ISC_STATUS Fail(ISC_STATUS* status, ISC_STATUS code, std::size_t lines) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < (lines == 0 ? 1 : lines) && at + 3 < ISC_STATUS_LENGTH; ++i) {
        status[at++] = isc_arg_gds;
        status[at++] = code + static_cast<ISC_STATUS>(i);
    }
    status[at] = isc_arg_end;
    return code;
}

// The scripted failure when `call` is the one to fail.
bool Failing(const char* call, ISC_STATUS* status) {
    const Script& s = TheScript();
    if (s.fail != call) return false;
    Fail(status, s.code, s.lines.size());
    return true;
}

std::string Hex(const char* bytes, std::size_t size) {
    std::string out;
    char digits[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
        out += digits;
    }
    return out;
}

// The attach's parameter block, item by item.
void RecordDpb(const char* block, short length) {
    if (length <= 0 || block == nullptr) {
        Record("dpb empty");
        return;
    }
    const auto size = static_cast<std::size_t>(length);
    Record("dpb version=" + std::to_string(static_cast<unsigned char>(block[0])));
    std::size_t at = 1;
    while (at < size) {
        const auto tag = static_cast<unsigned char>(block[at++]);
        if (at >= size) {
            Record("dpb truncated after tag " + std::to_string(tag));
            return;
        }
        const auto item = static_cast<unsigned char>(block[at++]);
        if (at + item > size) {
            Record("dpb item " + std::to_string(tag) + " longer than the block");
            return;
        }
        const std::string value(block + at, item);
        at += item;
        switch (tag) {
        case isc_dpb_user_name: Record("dpb user_name=" + value); break;
        case isc_dpb_password: Record("dpb password=" + value); break;
        case isc_dpb_lc_ctype: Record("dpb lc_ctype=" + value); break;
        case isc_dpb_utf8_filename: Record("dpb utf8_filename"); break;
        case isc_dpb_sql_dialect: {
            std::uint32_t dialect = 0;
            for (std::size_t i = 0; i < value.size() && i < 4; ++i)
                dialect |= static_cast<std::uint32_t>(static_cast<unsigned char>(value[i])) << (8 * i);
            Record("dpb sql_dialect=" + std::to_string(dialect) + " (" + std::to_string(item) + " bytes)");
            break;
        }
        default: Record("dpb tag" + std::to_string(tag) + "=" + Hex(value.data(), value.size()));
        }
    }
}

std::string TpbText(const char* block, int length) {
    std::string out;
    for (int i = 0; i < length; ++i) {
        std::string word;
        switch (static_cast<unsigned char>(block[i])) {
        case isc_tpb_version3: word = i == 0 ? "version3" : "3"; break;
        case isc_tpb_concurrency: word = "concurrency"; break;
        case isc_tpb_wait: word = "wait"; break;
        case isc_tpb_nowait: word = "nowait"; break;
        case isc_tpb_read: word = "read"; break;
        case isc_tpb_write: word = "write"; break;
        case isc_tpb_read_committed: word = "read_committed"; break;
        case isc_tpb_rec_version: word = "rec_version"; break;
        case isc_tpb_no_rec_version: word = "no_rec_version"; break;
        default: word = std::to_string(static_cast<unsigned char>(block[i]));
        }
        if (!out.empty()) out += ' ';
        out += word;
    }
    return out;
}

// For the calls of a run's shutdown: whether the run has written its log line
// (the run log in the current directory) by then.
std::string AfterLog() {
    const DWORD attributes = GetFileAttributesW(L"LogVantrel.txt");
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0
               ? " (after the run log)"
               : "";
}

// The handles this library gives out.
const isc_db_handle kDatabase = reinterpret_cast<isc_db_handle>(0x1D8);
const isc_tr_handle kTransaction = reinterpret_cast<isc_tr_handle>(0x7A8);
const isc_stmt_handle kStatement = reinterpret_cast<isc_stmt_handle>(0x57A);

// Checks a handle the caller passes; a wrong one is recorded and fails the call
// the way the real library does.
bool BadHandle(const char* call, ISC_STATUS* status, const void* given, const void* expected) {
    if (given == expected) return false;
    Record(std::string(call) + " with a wrong handle");
    Fail(status, isc_bad_db_handle, 1);
    return true;
}

ISC_SHORT SqlType(const std::string& type) {
    if (type == "char") return SQL_TEXT;
    if (type == "smallint") return SQL_SHORT;
    if (type == "integer") return SQL_LONG;
    if (type == "bigint") return SQL_INT64;
    return SQL_VARYING;  // also for null: a nullable varchar whose value is NULL
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_attach_database(ISC_STATUS* status, short length, const ISC_SCHAR* name, isc_db_handle* db,
                        short dpb_length, const ISC_SCHAR* dpb) {
    const std::string database =
        length == 0 ? std::string(name) : std::string(name, static_cast<std::size_t>(length));
    TheScript();
    Record("attach " + database + (*db != 0 ? " (handle not zero)" : ""));
    RecordDpb(dpb, dpb_length);
    if (Failing("attach", status)) return status[1];
    *db = kDatabase;
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT isc_detach_database(ISC_STATUS* status, isc_db_handle* db) {
    Record("detach" + AfterLog());
    if (BadHandle("detach", status, *db, kDatabase)) return status[1];
    *db = 0;
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT_VARARG
    isc_start_transaction(ISC_STATUS* status, isc_tr_handle* transaction, short count, ...) {
    std::string line = "start_transaction count=" + std::to_string(count);
    va_list args;
    va_start(args, count);
    bool bad = false;
    for (short i = 0; i < count; ++i) {
        isc_db_handle* db = va_arg(args, isc_db_handle*);
        const int length = va_arg(args, int);
        const char* tpb = va_arg(args, const char*);
        bad = bad || db == nullptr || *db != kDatabase;
        line += " tpb=" + TpbText(tpb, length);
    }
    va_end(args);
    Record(line);
    if (bad) {
        BadHandle("start_transaction", status, nullptr, kDatabase);
        return status[1];
    }
    *transaction = kTransaction;
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* transaction) {
    Record("rollback" + AfterLog());
    if (BadHandle("rollback", status, *transaction, kTransaction)) return status[1];
    *transaction = 0;
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_dsql_allocate_statement(ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* statement) {
    Record("allocate_statement");
    if (BadHandle("allocate_statement", status, *db, kDatabase)) return status[1];
    *statement = kStatement;
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* transaction, isc_stmt_handle* statement,
                     unsigned short length, const ISC_SCHAR* text, unsigned short dialect, XSQLDA* out) {
    const std::string sql = length == 0 ? std::string(text) : std::string(text, length);
    Record("prepare dialect=" + std::to_string(dialect) + " " + sql);
    if (BadHandle("prepare", status, *transaction, kTransaction)) return status[1];
    if (BadHandle("prepare", status, *statement, kStatement)) return status[1];
    if (Failing("prepare", status)) return status[1];
    if (out == nullptr || out->version != SQLDA_VERSION1 || out->sqln < 1) {
        Record("prepare with an unusable XSQLDA");
        return Fail(status, isc_dsql_sqlda_err, 1);
    }
    const Script& s = TheScript();
    out->sqld = 1;
    XSQLVAR& var = out->sqlvar[0];
    std::memset(&var, 0, sizeof var);
    var.sqltype = static_cast<ISC_SHORT>(SqlType(s.type) | 1);  // nullable
    switch (var.sqltype & ~1) {
    case SQL_SHORT: var.sqllen = sizeof(ISC_SHORT); break;
    case SQL_LONG: var.sqllen = sizeof(ISC_LONG); break;
    case SQL_INT64: var.sqllen = sizeof(ISC_INT64); break;
    default: var.sqllen = static_cast<ISC_SHORT>(s.length);
    }
    std::strcpy(var.sqlname, "APENASNUMERO");
    var.sqlname_length = 12;
    std::strcpy(var.aliasname, "APENASNUMERO");
    var.aliasname_length = 12;
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short dialect, XSQLDA*) {
    Record("describe dialect=" + std::to_string(dialect));
    if (BadHandle("describe", status, *statement, kStatement)) return status[1];
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* transaction, isc_stmt_handle* statement,
                     unsigned short dialect, const XSQLDA* in) {
    Record("execute dialect=" + std::to_string(dialect) + (in != nullptr ? " with input" : ""));
    if (BadHandle("execute", status, *transaction, kTransaction)) return status[1];
    if (BadHandle("execute", status, *statement, kStatement)) return status[1];
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* statement,
                                                           unsigned short dialect, const XSQLDA* out) {
    Record("fetch dialect=" + std::to_string(dialect));
    if (BadHandle("fetch", status, *statement, kStatement)) return status[1];
    if (Failing("fetch", status)) return status[1];
    const Script& s = TheScript();
    if (!s.row) {
        Succeed(status);
        return 100;
    }
    if (out == nullptr || out->sqld < 1 || out->sqlvar[0].sqldata == nullptr) {
        Record("fetch without a data area");
        return Fail(status, isc_dsql_sqlda_err, 1);
    }
    const XSQLVAR& var = out->sqlvar[0];
    if (s.type == "null") {
        if ((var.sqltype & 1) == 0 || var.sqlind == nullptr) {
            Record("fetch of NULL without an indicator");
            return Fail(status, isc_dsql_sqlda_err, 1);
        }
        *var.sqlind = -1;
        return Succeed(status);
    }
    if (var.sqlind != nullptr) *var.sqlind = 0;
    char* data = var.sqldata;
    switch (var.sqltype & ~1) {
    case SQL_VARYING: {
        const auto length = static_cast<ISC_SHORT>(s.value.size());
        std::memcpy(data, &length, sizeof length);
        std::memcpy(data + sizeof length, s.value.data(), s.value.size());
        break;
    }
    case SQL_TEXT: {
        std::string padded = s.value;
        padded.resize(static_cast<std::size_t>(var.sqllen), ' ');
        std::memcpy(data, padded.data(), padded.size());
        break;
    }
    case SQL_SHORT: {
        const auto value = static_cast<ISC_SHORT>(std::strtol(s.value.c_str(), nullptr, 10));
        std::memcpy(data, &value, sizeof value);
        break;
    }
    case SQL_LONG: {
        const auto value = static_cast<ISC_LONG>(std::strtol(s.value.c_str(), nullptr, 10));
        std::memcpy(data, &value, sizeof value);
        break;
    }
    case SQL_INT64: {
        const ISC_INT64 value = std::strtoll(s.value.c_str(), nullptr, 10);
        std::memcpy(data, &value, sizeof value);
        break;
    }
    }
    return Succeed(status);
}

__declspec(dllexport) ISC_STATUS ISC_EXPORT
    isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short option) {
    Record("free_statement " + std::string(option == DSQL_drop ? "drop" : std::to_string(option)));
    if (BadHandle("free_statement", status, *statement, kStatement)) return status[1];
    if (option == DSQL_drop) *statement = 0;
    return Succeed(status);
}

// One line a status code, from the script's lines; the cursor moves past it.
__declspec(dllexport) ISC_LONG ISC_EXPORT
    fb_interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** vector) {
    const ISC_STATUS* v = *vector;
    if (v == nullptr || v[0] != isc_arg_gds || v[1] == 0 || size == 0) return 0;
    const Script& s = TheScript();
    const auto index = static_cast<std::size_t>(v[1] - s.code);
    std::string line = index < s.lines.size() ? s.lines[index] : "status code " + std::to_string(v[1]);
    if (line.size() >= size) line.resize(size - 1);
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    *vector = v + 2;
    return static_cast<ISC_LONG>(line.size());
}

}  // extern "C"
