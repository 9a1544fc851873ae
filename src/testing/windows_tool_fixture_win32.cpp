#include "testing/windows_tool_fixture_win32.h"

#include <windows.h>

#include <regex>
#include <sstream>

#include "testing/started_program_win32.h"
#include "testing/windows_text_win32.h"

namespace vantrel::end_to_end {

namespace {

using testing::WindowsPath;

void Copy(const std::string& from, const std::string& to) {
    ASSERT_TRUE(CopyFileW(WindowsPath(from).c_str(), WindowsPath(to).c_str(), FALSE))
        << from << " -> " << to << ": " << GetLastError();
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return out;
}

testing::ProgramResult Reader(const std::string& caption, const std::string& action) {
    testing::ProgramRun run;
    run.program = BOX_READER_EXE;
    run.args = {caption, action, "20000"};
    run.timeout_ms = 40000;
    return testing::RunProgram(run);
}

}  // namespace

namespace {

// Whether this process can make a top-level window: Wine without a display
// (its desktop started headless) cannot, and its message boxes return at once.
bool WindowsAppear() {
    static const bool appear = [] {
        HWND probe = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
        if (probe == nullptr) return false;
        DestroyWindow(probe);
        return true;
    }();
    return appear;
}

}  // namespace

void WindowsToolTest::SetUp() {
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
        GTEST_SKIP() << "no X display: run through src/testing/wine-display-run";
    }
    ASSERT_TRUE(WindowsAppear()) << "DISPLAY is set, but Wine makes no windows on it";
}

void WindowsToolTest::NewFolder() {
    dir = std::make_unique<testing::TempDir>();
    outputs = std::make_unique<testing::TempDir>();
    key_service.Answer(
        testing::HttpReply(200, "OK", {{"Content-Type", "application/json"}}, R"({"token":"k"})"));
}

void WindowsToolTest::PlaceTool(const std::string& name) {
    tool = name;
    Copy(VANTREL_EXE, dir->File(name));
}

void WindowsToolTest::PlaceClient(const std::string& name, bool foreign) {
    Copy(foreign ? FOREIGN_FBCLIENT : STAND_IN_FBCLIENT, dir->File(name));
}

void WindowsToolTest::WriteScript(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    testing::WriteFileBytes(dir->File("fbclient-script.txt"), text);
}

void WindowsToolTest::WriteSettings(const std::string& ini) {
    testing::WriteFileBytes(dir->File("BANCO.INI"), ini);
}

testing::ProgramResult WindowsToolTest::RunWithoutBox() {
    testing::StartedProgram run(dir->File(tool), {}, dir->path(), outputs->path());
    testing::ProgramResult result = run.Wait(60000);
    if (result.timed_out) {
        // Most likely waiting on a box nobody expected: say what it showed.
        ADD_FAILURE() << "the run did not end; on the screen:\n" << Reader("vantrel", "describe").out;
    }
    return result;
}

SeenBox WindowsToolTest::RunWithBox(testing::ProgramResult& result, const std::string& caption, int hold_ms) {
    testing::StartedProgram run(dir->File(tool), {}, dir->path(), outputs->path());
    testing::ProgramResult described = Reader(caption, "describe");
    SeenBox box;
    if (described.exit_code != 0) {
        ADD_FAILURE() << "no box titled \"" << caption << "\" appeared: " << described.err;
        result = run.Wait(10000);
        return box;
    }
    std::istringstream lines(described.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = Unescaped(line.substr(eq + 1));
        if (key == "caption") box.caption = value;
        if (key == "text") box.text = value;
        if (key == "buttons") box.buttons = value;
        if (key == "icon") box.icon = value;
    }
    // While the box is open the run waits: no result, no log line, no key asked for.
    Sleep(static_cast<DWORD>(hold_ms));
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(run.Output(), "");
    EXPECT_FALSE(testing::FileExists(dir->File("LogVantrel.txt")));
    EXPECT_TRUE(key_service.Requests().empty());

    testing::ProgramResult pressed = Reader(caption, "press");
    EXPECT_EQ(pressed.exit_code, 0) << pressed.err;
    result = run.Wait(60000);
    EXPECT_FALSE(result.timed_out);
    return box;
}

std::vector<std::string> WindowsToolTest::Calls() const {
    std::vector<std::string> calls;
    std::istringstream lines(testing::ReadFileBytes(dir->File("fbclient-calls.txt")));
    for (std::string line; std::getline(lines, line);) calls.push_back(line);
    return calls;
}

std::string WindowsToolTest::SentCnpj() {
    const auto requests = key_service.Requests();
    if (requests.empty()) return "<none>";
    const std::string& target = requests.back().target;
    const std::size_t at = target.find("cnpj=");
    if (at == std::string::npos) return "<none>";
    const std::size_t end = target.find('&', at);
    return target.substr(at + 5, end == std::string::npos ? std::string::npos : end - at - 5);
}

void WindowsToolTest::ExpectLoggedOnce(const std::string& result) const {
    const std::string log = testing::ReadFileBytes(dir->File("LogVantrel.txt"));
    EXPECT_TRUE(std::regex_match(
        log, std::regex(R"(\|[^|\r\n]+\| )" +
                        std::regex_replace(result, std::regex(R"([{}\[\]])"), R"(\$&)") + "\r\n")))
        << log;
}

}  // namespace vantrel::end_to_end
