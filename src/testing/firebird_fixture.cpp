#include "testing/firebird_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "testing/run_program.h"

namespace vantrel::company::testing {

namespace fs = std::filesystem;

namespace {

// The installed engine's own folder (Debian: /usr/lib/<triplet>/firebird/3.0).
fs::path InstalledEngine() {
    std::vector<fs::path> candidates = {"/usr/lib/firebird/3.0", "/opt/firebird"};
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/usr/lib", ignored)) {
        candidates.push_back(entry.path() / "firebird" / "3.0");
    }
    for (const auto& dir : candidates) {
        if (fs::exists(dir / "plugins" / "libEngine12.so", ignored)) return dir;
    }
    throw std::runtime_error("no Firebird 3 engine installed (firebird3.0-server-core)");
}

// A loopback port that nobody listens on at the moment.
int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(fd);
        throw std::runtime_error("no free loopback port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Waits up to `seconds` for `pid` to end; true when it did.
bool WaitEnd(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 50; ++i) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

FirebirdHome::FirebirdHome() {
    std::string pattern = (fs::temp_directory_path() / "vantrel-firebird-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    try {
        Build();
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        throw;
    }
}

void FirebirdHome::Build() {
    const fs::path root(root_);
    const fs::path engine = InstalledEngine();
    for (const char* name : {"plugins", "firebird.msg", "plugins.conf", "fbtrace.conf", "UDF", "lib"}) {
        std::error_code ignored;
        if (fs::exists(engine / name, ignored)) fs::create_symlink(engine / name, root / name);
    }
    // The character sets: the engine finds none through a linked module (it
    // resolves the link and then does not know the module), so the home holds a
    // copy of its own.
    fs::create_directory(root / "intl");
    fs::copy_file(engine / "intl" / "libfbintl.so", root / "intl" / "libfbintl.so");
    fs::create_symlink(fs::canonical(engine / "intl" / "fbintl.conf"), root / "intl" / "fbintl.conf");
    for (const char* dir : {"lock", "server-lock", "tmp", "data"}) fs::create_directory(root / dir);
    WriteText(root / "databases.conf", "");
    Configure(FreePort());
    Isql("CREATE DATABASE '" + (root / "security3.fdb").string() +
         "' USER 'SYSDBA';\n"
         "COMMIT;\n"
         "CREATE USER " +
         std::string(kUser) + " PASSWORD '" + kPassword +
         "' USING PLUGIN Srp;\n"
         "COMMIT;\n");
}

void FirebirdHome::Configure(int port) {
    port_ = port;
    const fs::path root(root_);
    WriteText(root / "firebird.conf", "RemoteServicePort = " + std::to_string(port_) +
                                          "\n"
                                          "RemoteBindAddress = 127.0.0.1\n"
                                          "ServerMode = Super\n"
                                          "SecurityDatabase = " +
                                          (root / "security3.fdb").string() +
                                          "\n"
                                          "AuthServer = Srp\n"
                                          "UserManager = Srp\n");
}

FirebirdHome::~FirebirdHome() {
    StopServer();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::vector<std::pair<std::string, std::string>> FirebirdHome::Environment() const {
    return {{"FIREBIRD", root_}, {"FIREBIRD_LOCK", root_ + "/lock"}, {"FIREBIRD_TMP", root_ + "/tmp"}};
}

void FirebirdHome::UseInThisProcess() const {
    for (const auto& [name, value] : Environment()) setenv(name.c_str(), value.c_str(), 1);
}

void FirebirdHome::Isql(const std::string& script) {
    const fs::path file = fs::path(root_) / "tmp" / "script.sql";
    WriteText(file, script);
    vantrel::testing::ProgramRun run;
    run.program = "/usr/bin/isql-fb";
    run.args = {"-q", "-bail", "-i", file.string()};
    run.input = "";
    run.environment = Environment();
    run.environment.push_back({"ISC_USER", "SYSDBA"});
    run.timeout_ms = 60000;
    vantrel::testing::ProgramResult result = vantrel::testing::RunProgram(run);
    if (result.exit_code != 0 || result.timed_out) {
        throw std::runtime_error("isql-fb failed (exit " + std::to_string(result.exit_code) +
                                 (result.timed_out ? ", timed out" : "") + "): " + result.out + result.err +
                                 "\nScript:\n" + script);
    }
}

std::string FirebirdHome::CreateDatabase(const std::string& name, const DatabaseLayout& layout) {
    std::string path = (fs::path(root_) / "data" / name).string();
    // Literals are ISO8859_1 text, which the connection can only say once the
    // database exists.
    std::string script = "CREATE DATABASE '" + path +
                         "' USER 'SYSDBA' DEFAULT CHARACTER SET ISO8859_1;\n"
                         "COMMIT;\n"
                         "SET NAMES ISO8859_1;\n"
                         "CONNECT '" +
                         path + "' USER 'SYSDBA';\n";
    if (layout.with_table) {
        script += "CREATE TABLE CONFIGURACOES (CNPJ " + layout.column_type + ");\n";
        for (const std::string& row : layout.rows)
            script += "INSERT INTO CONFIGURACOES VALUES (" + row + ");\n";
        script += "GRANT ALL ON CONFIGURACOES TO PUBLIC;\n";
    }
    if (layout.with_function) {
        const std::string body = layout.keeps_digits
                                     ? "DECLARE R VARCHAR(100) = '';\n"
                                       "DECLARE I INTEGER = 1;\n"
                                       "BEGIN\n"
                                       "  IF (S IS NULL) THEN RETURN NULL;\n"
                                       "  WHILE (I <= CHAR_LENGTH(S)) DO\n"
                                       "  BEGIN\n"
                                       "    IF (SUBSTRING(S FROM I FOR 1) BETWEEN '0' AND '9') THEN\n"
                                       "      R = R || SUBSTRING(S FROM I FOR 1);\n"
                                       "    I = I + 1;\n"
                                       "  END\n"
                                       "  RETURN R;\n"
                                       "END"
                                     : "BEGIN\n  RETURN S;\nEND";
        script += "SET TERM ^;\n"
                  "CREATE FUNCTION APENASNUMERO(S VARCHAR(100)) RETURNS " +
                  layout.returns + " AS\n" + body +
                  "^\nSET TERM ;^\n"
                  "GRANT EXECUTE ON FUNCTION APENASNUMERO TO PUBLIC;\n";
    }
    script += "COMMIT;\n";
    Isql(script);
    return path;
}

void FirebirdHome::StartServer() {
    // The port was free when it was chosen; another program may have taken it
    // since, and then the server ends at once: a few tries on other ports.
    for (int attempt = 1;; ++attempt) {
        try {
            StartServerOnce();
            return;
        } catch (const std::runtime_error&) {
            if (attempt == 3) throw;
            Configure(FreePort());
        }
    }
}

void FirebirdHome::StartServerOnce() {
    if (server_ > 0) return;
    const fs::path log = fs::path(root_) / "server.log";
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setsid();  // a process group of its own, without a terminal
        // The server ends with the test program, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(126);  // the test program is gone already
        for (const auto& [name, value] : Environment()) setenv(name.c_str(), value.c_str(), 1);
        setenv("FIREBIRD_LOCK", (root_ + "/server-lock").c_str(), 1);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        int none = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (none >= 0) dup2(none, 0);
        execl("/usr/sbin/firebird", "firebird", static_cast<char*>(nullptr));
        _exit(127);
    }
    server_ = pid;
    for (int i = 0; i < 30 * 20; ++i) {
        if (Accepts(port_)) return;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            server_ = -1;
            throw std::runtime_error("the Firebird server ended at start: " + ReadText(log));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    StopServer();
    throw std::runtime_error("the Firebird server did not listen within 30 s: " + ReadText(log));
}

void FirebirdHome::StopServer() {
    if (server_ <= 0) return;
    kill(-server_, SIGTERM);
    if (!WaitEnd(server_, 15)) {
        kill(-server_, SIGKILL);
        WaitEnd(server_, 15);
    }
    server_ = -1;
}

}  // namespace vantrel::company::testing
