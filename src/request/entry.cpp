#include "request/entry.h"

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

int Run(platform::Platform& sys) {
    sys.locale.UseUserLocale();
    // The support trace, when a technician asked for it; it ends with the run.
    trace::Start(platform::OpenTraceSink(sys.programs.Environment(u"VANTREL_TRACE")),
                 [&sys] { return sys.clock.Ticks(); });
    struct StopTrace {
        ~StopTrace() { trace::Stop(); }
    } stop_trace;
    if (trace::On()) trace::Line("start", u"vantrel " + Version());
    StandardStreams streams(sys.console, sys.files, sys.locale);
    TPrincipal principal(sys, streams);
    // At shutdown the database module goes before TPrincipal, on every way out:
    // its connection rolls back and detaches.
    struct FreeDm {
        ~FreeDm() { company::LiberaDM(); }
    } free_dm;

    try {
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
            principal.Clear();
            principal.JsEntrada->AddMember(u"solicitacao", std::int32_t{0});
            principal.ProcessaSolicitacao(false);
        } else {
            principal.ProcessaSolicitacao(true);
        }
    } catch (const Error& failure) {
        // The last resort: the report follows the result text on the same line.
        // A failure to write it leaves this function.
        if (trace::On()) trace::Line("end", u"failed: " + failure.kind() + u": " + failure.message());
        streams.Write(failure.kind() + u": " + failure.message() + u"\r\n");
    }
    return 0;
}

}  // namespace vantrel::request
