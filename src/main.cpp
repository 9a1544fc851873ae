// vantrel: puts this PC under the vendor's remote support, one request per run.
#include <cstdio>

#include "core/error.h"
#include "platform/platform.h"
#include "request/entry.h"

int main() {
    try {
        return vantrel::request::Run(vantrel::platform::System());
    } catch (...) {
        // Even the last-resort report could not be written to standard output.
        std::fputs("Runtime error: the failure report could not be written\n", stderr);
        return 1;
    }
}
