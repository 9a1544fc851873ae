#include "company/firebird_client.h"

#include <ibase.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/ascii.h"
#include "core/error.h"
#include "core/trace.h"
#include "core/utf.h"

namespace vantrel::company {

// The processor architecture this program is built for, which the library must
// share.
#if defined(__i386__) || defined(_M_IX86)
constexpr char16_t kArchitecture[] = u"32-bit x86";
#elif defined(__x86_64__) || defined(_M_X64)
constexpr char16_t kArchitecture[] = u"64-bit x86 (x86-64)";
#elif defined(__aarch64__) || defined(_M_ARM64)
constexpr char16_t kArchitecture[] = u"64-bit ARM";
#else
constexpr char16_t kArchitecture[] = u"this program's processor";
#endif

struct FirebirdClient::Api {
    decltype(&::isc_attach_database) attach_database;
    decltype(&::isc_detach_database) detach_database;
    decltype(&::isc_start_transaction) start_transaction;
    decltype(&::isc_rollback_transaction) rollback_transaction;
    decltype(&::isc_dsql_allocate_statement) allocate_statement;
    decltype(&::isc_dsql_prepare) prepare;
    decltype(&::isc_dsql_describe) describe;
    decltype(&::isc_dsql_execute) execute;
    decltype(&::isc_dsql_fetch) fetch;
    decltype(&::isc_dsql_free_statement) free_statement;
    decltype(&::fb_interpret) interpret;
};

namespace {

using Api = FirebirdClient::Api;

bool Failed(const ISC_STATUS* status) { return status[0] == 1 && status[1] > 0; }

// The client library's lines for a failure, after the prefix.
[[noreturn]] void Fail(const Api& api, const ISC_STATUS* status) {
    std::u16string message = kClientErrorPrefix;
    const ISC_STATUS* cursor = status;
    char line[1024];
    bool first = true;
    for (int lines = 0; lines < 64; ++lines) {
        ISC_LONG n = api.interpret(line, sizeof line, &cursor);
        if (n <= 0) break;
        if (!first) message += u"\r\n";
        first = false;
        // Text from the client library: UTF-8 when it is well-formed UTF-8,
        // else one code unit per byte.
        message += Utf8ElseLatin1(std::string_view(line, std::strlen(line)));
    }
    if (first) message += u"error code " + Decimal(status[1]);
    throw Error(kClientErrorKind, message);
}

void Check(const Api& api, const ISC_STATUS* status) {
    if (Failed(status)) Fail(api, status);
}

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// A string item of the attach's parameter block: the tag, a length byte and the
// bytes. Longer values cannot be sent and fail here rather than corrupt the block.
void AddString(std::string& block, char tag, const std::string& value, std::u16string_view what) {
    if (value.size() > 255) {
        throw Error(kClientLoadKind, std::u16string(u"The ") + std::u16string(what) +
                                         u" is longer than the Firebird client accepts (255 bytes)");
    }
    block += tag;
    block += static_cast<char>(value.size());
    block += value;
}

// Integers as decimal digits, with a decimal point for a negative scale.
std::u16string ScaledText(std::int64_t value, int scale) {
    std::u16string digits = Decimal(value);
    if (scale > 0) return digits.append(static_cast<std::size_t>(scale), u'0');
    if (scale == 0) return digits;
    const bool negative = value < 0;
    if (negative) digits.erase(0, 1);
    const auto places = static_cast<std::size_t>(-scale);
    if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), u'0');
    digits.insert(digits.size() - places, 1, u'.');
    return negative ? u"-" + digits : digits;
}

template <typename T>
T Read(const char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

std::u16string FloatText(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Ascii(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

FirstValue ValueOf(const XSQLVAR& var) {
    FirstValue value;
    if ((var.sqltype & 1) != 0 && *var.sqlind < 0) {
        value.kind = FirstValue::Kind::Null;
        return value;
    }
    value.kind = FirstValue::Kind::Text;
    const char* data = var.sqldata;
    // Texts come in the connection's character set, ISO8859_1.
    switch (var.sqltype & ~1) {
    case SQL_VARYING: {
        auto length = Read<ISC_SHORT>(data);
        value.text =
            Latin1ToUtf16(std::string_view(data + sizeof(ISC_SHORT), static_cast<std::size_t>(length)));
        break;
    }
    case SQL_TEXT: {
        auto length = static_cast<std::size_t>(var.sqllen);
        while (length > 0 && data[length - 1] == ' ') --length;
        value.text = Latin1ToUtf16(std::string_view(data, length));
        break;
    }
    case SQL_SHORT: value.text = ScaledText(Read<ISC_SHORT>(data), var.sqlscale); break;
    case SQL_LONG: value.text = ScaledText(Read<ISC_LONG>(data), var.sqlscale); break;
    case SQL_INT64: value.text = ScaledText(Read<ISC_INT64>(data), var.sqlscale); break;
    case SQL_FLOAT: value.text = FloatText(Read<float>(data)); break;
    case SQL_DOUBLE:
    case SQL_D_FLOAT: value.text = FloatText(Read<double>(data)); break;
    case SQL_BOOLEAN: value.text = *data != 0 ? u"True" : u"False"; break;
    default:
        throw Error(u"EVariantTypeCastError", u"The query's value has SQL type " + Decimal(var.sqltype & ~1) +
                                                  u", which is not read as text");
    }
    return value;
}

// The output descriptor of a prepared statement, with a buffer for every column.
class Row {
public:
    explicit Row(short columns) { Allocate(columns); }
    ~Row() { std::free(sqlda_); }
    Row(const Row&) = delete;
    Row& operator=(const Row&) = delete;

    XSQLDA* sqlda() { return sqlda_; }

    void Allocate(short columns) {
        std::free(sqlda_);
        sqlda_ = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(columns < 1 ? 1 : columns)));
        if (sqlda_ == nullptr) throw std::bad_alloc();
        sqlda_->version = SQLDA_VERSION1;
        sqlda_->sqln = static_cast<ISC_SHORT>(columns < 1 ? 1 : columns);
    }

    // Buffers for what the describe reported; every column reports NULL.
    void Bind() {
        buffers_.clear();
        indicators_.assign(static_cast<std::size_t>(sqlda_->sqld), 0);
        for (short i = 0; i < sqlda_->sqld; ++i) {
            XSQLVAR& var = sqlda_->sqlvar[i];
            std::size_t size = static_cast<std::size_t>(var.sqllen) + sizeof(ISC_SHORT);
            buffers_.emplace_back(std::make_unique<std::int64_t[]>(size / 8 + 1));
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(buffers_.back().get());
            var.sqltype = static_cast<ISC_SHORT>(var.sqltype | 1);
            var.sqlind = &indicators_[static_cast<std::size_t>(i)];
        }
    }

private:
    XSQLDA* sqlda_ = nullptr;
    std::vector<std::unique_ptr<std::int64_t[]>> buffers_;
    std::vector<ISC_SHORT> indicators_;
};

class FirebirdSession : public DatabaseSession {
public:
    FirebirdSession(const Api& api, int dialect)
        : api_(api), dialect_(static_cast<unsigned short>(dialect)) {}

    ~FirebirdSession() override {
        ISC_STATUS_ARRAY status{};
        if (transaction_) api_.rollback_transaction(status, &transaction_);
        if (database) api_.detach_database(status, &database);
    }

    // Set by the attach; the session detaches it when it ends.
    isc_db_handle database{};
    FirebirdSession(const FirebirdSession&) = delete;
    FirebirdSession& operator=(const FirebirdSession&) = delete;

    FirstValue QueryFirstValue(std::u16string_view sql) override {
        ISC_STATUS_ARRAY status{};
        if (!transaction_) {
            // Read committed, newest committed version of a record, no waiting on
            // a lock conflict, read-write.
            static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                       isc_tpb_rec_version, isc_tpb_nowait};
            api_.start_transaction(status, &transaction_, 1, &database, static_cast<int>(sizeof tpb), tpb);
            Check(api_, status);
        }

        isc_stmt_handle statement{};
        api_.allocate_statement(status, &database, &statement);
        Check(api_, status);
        struct Drop {
            const Api& api;
            isc_stmt_handle& handle;
            ~Drop() {
                ISC_STATUS_ARRAY ignored{};
                api.free_statement(ignored, &handle, DSQL_drop);
            }
        } drop{api_, statement};

        const std::string text = Utf16ToUtf8(sql);
        Row row(1);
        api_.prepare(status, &transaction_, &statement, static_cast<unsigned short>(text.size()),
                     text.c_str(), dialect_, row.sqlda());
        Check(api_, status);
        if (row.sqlda()->sqld > row.sqlda()->sqln) {
            row.Allocate(row.sqlda()->sqld);
            api_.describe(status, &statement, dialect_, row.sqlda());
            Check(api_, status);
        }
        row.Bind();
        api_.execute(status, &transaction_, &statement, dialect_, nullptr);
        Check(api_, status);
        if (row.sqlda()->sqld == 0) return {};  // a statement without columns

        ISC_STATUS fetched = api_.fetch(status, &statement, dialect_, row.sqlda());
        if (fetched == 100) return {};  // no row
        Check(api_, status);
        return ValueOf(row.sqlda()->sqlvar[0]);
    }

private:
    const Api& api_;
    isc_tr_handle transaction_{};
    unsigned short dialect_;
};

template <typename Function>
void Take(platform::Library& library, const std::u16string& name, const char* symbol, Function& function) {
    void* address = library.Symbol(symbol);
    if (address == nullptr) {
        throw Error(kClientLoadKind, u"The Firebird client library \"" + name +
                                         u"\" does not export the function " + Ascii(symbol));
    }
    function = reinterpret_cast<Function>(address);
}

}  // namespace

std::u16string LoadFailureText(const std::vector<LoadAttempt>& attempts) {
    std::u16string names;
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        if (i > 0) names += i + 1 == attempts.size() ? u" and " : u", ";
        names += u"\"" + attempts[i].name + u"\"";
    }
    // A library found but built for another processor is what a technician must
    // replace: that comes first, before the last load's error, which may be
    // about another name.
    std::u16string text;
    for (const LoadAttempt& attempt : attempts) {
        if (attempt.load.other_architecture) {
            text += u"\"" + attempt.name + u"\" was found but is not built for the " + kArchitecture +
                    u" architecture.\r\n";
        }
    }
    const std::uint32_t error = attempts.empty() ? 0 : attempts.back().load.error;
    if (error != 0)
        text += u"Error " + Decimal(error) + u": the";
    else
        text += u"The";
    text += u" Firebird database client library could not be loaded (tried " + names + u").";
    if (!attempts.empty() && !attempts.back().load.error_text.empty()) {
        text += u"\r\n" + attempts.back().load.error_text + u".";
    }
    text += u"\r\nPlace " + std::u16string(kClientLibraryNames[0]) + u" " + kLibraryPlace +
            u"; it must be built for the " + kArchitecture + u" architecture";
    return text;
}

FirebirdClient::FirebirdClient(platform::Libraries& libraries) : libraries_(libraries) {}

FirebirdClient::~FirebirdClient() = default;

const FirebirdClient::Api& FirebirdClient::Load() {
    if (api_) return *api_;
    std::vector<LoadAttempt> attempts;
    for (const char16_t* name : kClientLibraryNames) {
        platform::LibraryLoad load = libraries_.Load(name);
        if (load.library) {
            auto api = std::make_unique<Api>();
            const std::u16string file = name;
            Take(*load.library, file, "isc_attach_database", api->attach_database);
            Take(*load.library, file, "isc_detach_database", api->detach_database);
            Take(*load.library, file, "isc_start_transaction", api->start_transaction);
            Take(*load.library, file, "isc_rollback_transaction", api->rollback_transaction);
            Take(*load.library, file, "isc_dsql_allocate_statement", api->allocate_statement);
            Take(*load.library, file, "isc_dsql_prepare", api->prepare);
            Take(*load.library, file, "isc_dsql_describe", api->describe);
            Take(*load.library, file, "isc_dsql_execute", api->execute);
            Take(*load.library, file, "isc_dsql_fetch", api->fetch);
            Take(*load.library, file, "isc_dsql_free_statement", api->free_statement);
            Take(*load.library, file, "fb_interpret", api->interpret);
            // Kept where the process can still reach it, never unloaded. Kept at
            // the load, where running out of memory is still a failure like any
            // other, rather than when the client goes.
            static auto* const kept = new std::vector<std::unique_ptr<platform::Library>>();
            kept->push_back(std::move(load.library));
            api_ = std::move(api);
            if (trace::On()) trace::Line("company", u"client library " + file + u" loaded");
            return *api_;
        }
        attempts.push_back({name, std::move(load)});
    }
    throw Error(kClientLoadKind, LoadFailureText(attempts));
}

std::unique_ptr<DatabaseSession> FirebirdClient::Attach(const AttachParameters& parameters) {
    const Api& api = Load();

    // Names go as UTF-8, flagged as such, when one of them is not plain ASCII
    // (which reads the same in every encoding and every client version).
    const bool utf8 = !IsAscii(parameters.database) || !IsAscii(parameters.user.value_or(u"")) ||
                      !IsAscii(parameters.password.value_or(u""));
    std::string block(1, static_cast<char>(isc_dpb_version1));
    if (utf8) block += {static_cast<char>(isc_dpb_utf8_filename), '\0'};
    if (parameters.user) AddString(block, isc_dpb_user_name, Utf16ToUtf8(*parameters.user), u"user name");
    if (parameters.password) {
        AddString(block, isc_dpb_password, Utf16ToUtf8(*parameters.password), u"password");
    }
    AddString(block, isc_dpb_lc_ctype, Utf16ToUtf8(parameters.character_set), u"character set");
    const auto dialect = static_cast<std::uint32_t>(parameters.dialect);
    block += {static_cast<char>(isc_dpb_sql_dialect),  '\4',
              static_cast<char>(dialect & 0xFF),       static_cast<char>(dialect >> 8 & 0xFF),
              static_cast<char>(dialect >> 16 & 0xFF), static_cast<char>(dialect >> 24 & 0xFF)};

    const std::string database = Utf16ToUtf8(parameters.database);
    if (database.size() > 32767) {
        throw Error(kClientLoadKind, u"The database string is longer than the Firebird client accepts");
    }
    // The session exists before the attachment, so that nothing between the
    // two can leave an attachment without its owner.
    auto session = std::make_unique<FirebirdSession>(api, parameters.dialect);
    ISC_STATUS_ARRAY status{};
    api.attach_database(status, static_cast<short>(database.size()), database.c_str(), &session->database,
                        static_cast<short>(block.size()), block.data());
    if (Failed(status)) {
        session->database = {};
        Fail(api, status);
    }
    return session;
}

}  // namespace vantrel::company
