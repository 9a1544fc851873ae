#include "request/entry.h"

#include <optional>

#include "company/dm.h"
#include "core/error.h"
#include "core/path.h"
#include "core/trace.h"
#include "core/version.h"
#include "platform/trace_sink.h"
#include "request/principal.h"
#include "request/standard_streams.h"

namespace vantrel::request {

std::u16string RequestFilePath(platform::Process& process, const std::u16string& argument) {
    const char16_t separator = process.PathSeparator();
    if (HasDirectoryPart(argument, separator)) return argument;
    return JoinPath(process.CurrentDirectory(), argument, separator);
}

namespace {

// The last resort for a failure that left the request cycle, or came before it:
// the failure's kind name, ": ", its message and CR LF on standard output. A run
// that has no result document yet first gets the failure's document and its
// log line, so that a caller always has one. Leaves only when standard output
// cannot take the line.
void LastResort(platform::Platform& sys, StandardStreams& streams, bool reported) {
    std::u16string line;
    try {
        Error failure = CurrentFailure();
        if (!reported) {
            try {
                PrintAndLog(sys, streams, ResultText(json::Value::Object(), true));
            } catch (...) {
                // The log failed in turn: that is the failure to print.
                failure = CurrentFailure();
            }
        }
        if (trace::On()) trace::Line("end", u"failed: " + failure.kind() + u": " + failure.message());
        line = failure.kind() + u": " + failure.message() + u"\r\n";
    } catch (...) {
        // Memory ran out while the line was made.
    }
    // Running out of memory while writing leaves nothing written: one more try,
    // with the shortest line there is for it.
    try {
        streams.Write(line.empty() ? std::u16string_view(kOutOfMemoryLine) : std::u16string_view(line));
    } catch (const Error&) {
        throw;
    } catch (...) {
        streams.Write(kOutOfMemoryLine);
    }
}

}  // namespace

int Run(platform::Platform& sys) {
    StandardStreams streams(sys.console, sys.files, sys.locale);
    struct StopTrace {
        ~StopTrace() { trace::Stop(); }
    } stop_trace;
    // Declared before the module's release, so that it goes after it.
    std::optional<TPrincipal> principal;
    // At shutdown the database module goes before TPrincipal, on every way out:
    // its connection rolls back and detaches.
    struct FreeDm {
        ~FreeDm() { company::LiberaDM(); }
    } free_dm;

    try {
        sys.locale.UseUserLocale();
        // The support trace, when a technician asked for it; it ends with the run.
        trace::Start(platform::OpenTraceSink(sys.programs.Environment(u"VANTREL_TRACE")),
                     [&sys] { return sys.clock.Ticks(); });
        if (trace::On()) trace::Line("start", u"vantrel " + Version());
        principal.emplace(sys, streams);

        std::vector<std::u16string> args = sys.process.Arguments();
        auto argument = [&args](std::size_t i) { return i < args.size() ? args[i] : std::u16string(); };

        const std::u16string first = argument(0);
        if (sys.locale.UpperCase(first) == u"STDIN") {
            const std::u16string path = RequestFilePath(sys.process, argument(1));
            if (trace::On()) trace::Line("start", u"mode: request file " + path);
            streams.RedirectInput(path);
        } else if (trace::On()) {
            trace::Line("start", first.empty() ? u"mode: no argument" : u"mode: standard input");
        }
        if (first.empty()) {
            principal->Clear();
            principal->JsEntrada->AddMember(u"solicitacao", std::int32_t{0});
            principal->ProcessaSolicitacao(false);
        } else {
            principal->ProcessaSolicitacao(true);
        }
    } catch (...) {
        LastResort(sys, streams, principal && principal->Reported());
    }
    return 0;
}

}  // namespace vantrel::request
