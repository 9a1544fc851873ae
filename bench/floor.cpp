// The floor of a kind-0 run: only the work such a run cannot leave out, done
// with the same libraries, loaded the same way, by the smallest program that
// does it. No JSON model, no log, no settings file, no platform layer: the
// benchmark measures the tool against this.
//
//   vantrel_bench_floor <database> <user> <password> <url> <client> <host> [header ...]
//
// 1. Loads the Firebird client library (libfbclient.so.2), attaches to
//    <database> with the tool's parameters (user, password, character set
//    ISO8859_1, dialect 3), starts the tool's transaction, runs the tool's
//    statement and fetches its row.
// 2. Loads libcurl, makes the GET of <url> with the headers ("Name: value")
//    through the proxy of the environment, and reads the reply.
// 3. Takes the key from the reply and starts <client> twice, as the tool
//    does: with "--config" and "host=<host>,key=<key>", and plainly, each in a
//    process group of its own, not waited for.
// 4. Rolls back and detaches (the tool does both at its end), and prints the
//    tax id and the key.
// Exits 0 when every step worked.
#include <curl/curl.h>
#include <dlfcn.h>
#include <ibase.h>
#include <spawn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

[[noreturn]] void Die(const char* what) {
    std::fprintf(stderr, "vantrel_bench_floor: %s\n", what);
    std::exit(1);
}

void* Open(const char* name) {
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) Die(dlerror());
    return library;
}

template <typename Function>
Function Symbol(void* library, const char* name) {
    void* address = dlsym(library, name);
    if (address == nullptr) Die(name);
    return reinterpret_cast<Function>(address);
}

struct Firebird {
    decltype(&::isc_attach_database) attach;
    decltype(&::isc_detach_database) detach;
    decltype(&::isc_start_transaction) start;
    decltype(&::isc_rollback_transaction) rollback;
    decltype(&::isc_dsql_allocate_statement) allocate;
    decltype(&::isc_dsql_prepare) prepare;
    decltype(&::isc_dsql_execute) execute;
    decltype(&::isc_dsql_fetch) fetch;
    decltype(&::isc_dsql_free_statement) free_statement;
    isc_db_handle database{};
    isc_tr_handle transaction{};
};

void Check(const ISC_STATUS* status, const char* what) {
    if (status[0] == 1 && status[1] > 0) Die(what);
}

void Add(std::string& block, char tag, const char* value) {
    block += tag;
    block += static_cast<char>(std::strlen(value));
    block += value;
}

// Attach, transaction, statement, first row: the tax id.
std::string Lookup(Firebird& fb, const char* database, const char* user, const char* password) {
    void* library = Open("libfbclient.so.2");
    fb.attach = Symbol<decltype(fb.attach)>(library, "isc_attach_database");
    fb.detach = Symbol<decltype(fb.detach)>(library, "isc_detach_database");
    fb.start = Symbol<decltype(fb.start)>(library, "isc_start_transaction");
    fb.rollback = Symbol<decltype(fb.rollback)>(library, "isc_rollback_transaction");
    fb.allocate = Symbol<decltype(fb.allocate)>(library, "isc_dsql_allocate_statement");
    fb.prepare = Symbol<decltype(fb.prepare)>(library, "isc_dsql_prepare");
    fb.execute = Symbol<decltype(fb.execute)>(library, "isc_dsql_execute");
    fb.fetch = Symbol<decltype(fb.fetch)>(library, "isc_dsql_fetch");
    fb.free_statement = Symbol<decltype(fb.free_statement)>(library, "isc_dsql_free_statement");

    std::string block(1, static_cast<char>(isc_dpb_version1));
    Add(block, isc_dpb_user_name, user);
    Add(block, isc_dpb_password, password);
    Add(block, isc_dpb_lc_ctype, "ISO8859_1");
    block += {static_cast<char>(isc_dpb_sql_dialect), '\4', '\3', '\0', '\0', '\0'};
    ISC_STATUS_ARRAY status{};
    fb.attach(status, static_cast<short>(std::strlen(database)), database, &fb.database,
              static_cast<short>(block.size()), block.data());
    Check(status, "attach");

    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    fb.start(status, &fb.transaction, 1, &fb.database, static_cast<int>(sizeof tpb), tpb);
    Check(status, "start transaction");
    isc_stmt_handle statement{};
    fb.allocate(status, &fb.database, &statement);
    Check(status, "allocate statement");

    static const char sql[] = "SELECT FIRST 1 APENASNUMERO(CONFIGURACOES.CNPJ) FROM CONFIGURACOES";
    alignas(XSQLDA) char descriptor[XSQLDA_LENGTH(1)] = {};
    auto* row = reinterpret_cast<XSQLDA*>(descriptor);
    row->version = SQLDA_VERSION1;
    row->sqln = 1;
    fb.prepare(status, &fb.transaction, &statement, 0, sql, 3, row);
    Check(status, "prepare");
    if (row->sqld != 1 || (row->sqlvar[0].sqltype & ~1) != SQL_VARYING) Die("unexpected column");
    alignas(ISC_SHORT) char value[sizeof(ISC_SHORT) + 256] = {};
    ISC_SHORT indicator = 0;
    if (row->sqlvar[0].sqllen > 256) Die("column too wide");
    row->sqlvar[0].sqldata = value;
    row->sqlvar[0].sqlind = &indicator;
    row->sqlvar[0].sqltype = static_cast<ISC_SHORT>(row->sqlvar[0].sqltype | 1);
    fb.execute(status, &fb.transaction, &statement, 3, nullptr);
    Check(status, "execute");
    if (fb.fetch(status, &statement, 3, row) != 0) Die("fetch");
    fb.free_statement(status, &statement, DSQL_drop);
    ISC_SHORT length = 0;
    std::memcpy(&length, value, sizeof length);
    return indicator < 0 ? std::string()
                         : std::string(value + sizeof length, static_cast<std::size_t>(length));
}

size_t Collect(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The GET and its reply body.
std::string Fetch(const char* url, char** headers) {
    void* library = Open("libcurl.so.4");
    auto global_init = Symbol<decltype(&::curl_global_init)>(library, "curl_global_init");
    auto easy_init = Symbol<decltype(&::curl_easy_init)>(library, "curl_easy_init");
    auto setopt = Symbol<decltype(&::curl_easy_setopt)>(library, "curl_easy_setopt");
    auto perform = Symbol<decltype(&::curl_easy_perform)>(library, "curl_easy_perform");
    auto getinfo = Symbol<decltype(&::curl_easy_getinfo)>(library, "curl_easy_getinfo");
    auto cleanup = Symbol<decltype(&::curl_easy_cleanup)>(library, "curl_easy_cleanup");
    auto append = Symbol<decltype(&::curl_slist_append)>(library, "curl_slist_append");
    auto free_all = Symbol<decltype(&::curl_slist_free_all)>(library, "curl_slist_free_all");
    if (global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) Die("curl_global_init");
    CURL* curl = easy_init();
    if (curl == nullptr) Die("curl_easy_init");
    curl_slist* list = nullptr;
    for (char** header = headers; *header != nullptr; ++header) list = append(list, *header);
    std::string body;
    setopt(curl, CURLOPT_URL, url);
    setopt(curl, CURLOPT_HTTPHEADER, list);
    setopt(curl, CURLOPT_NOSIGNAL, 1L);
    setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    setopt(curl, CURLOPT_WRITEDATA, &body);
    if (perform(curl) != CURLE_OK) Die("curl_easy_perform");
    long status = 0;
    getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) Die("reply status");
    cleanup(curl);
    free_all(list);
    return body;
}

void Start(char** argv) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, &attributes, argv, environ) != 0) Die("posix_spawn");
    posix_spawnattr_destroy(&attributes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: vantrel_bench_floor <database> <user> <password> <url> <client> <host> "
                             "[header ...]\n");
        return 2;
    }
    Firebird fb{};
    const std::string tax_id = Lookup(fb, argv[1], argv[2], argv[3]);

    const std::string body = Fetch(argv[4], argv + 7);
    static const char member[] = "\"token\":\"";
    const std::size_t start = body.find(member);
    if (start == std::string::npos) Die("no key in the reply");
    const std::size_t from = start + sizeof member - 1;
    const std::string key = body.substr(from, body.find('"', from) - from);

    std::string config = std::string("host=") + argv[6] + ",key=" + key;
    char config_option[] = "--config";
    char* with_config[] = {argv[5], config_option, config.data(), nullptr};
    char* plain[] = {argv[5], nullptr};
    Start(with_config);
    Start(plain);

    ISC_STATUS_ARRAY status{};
    fb.rollback(status, &fb.transaction);
    fb.detach(status, &fb.database);
    std::printf("%s %s\n", tax_id.c_str(), key.c_str());
    return 0;
}
