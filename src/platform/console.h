// Standard input and output as 8-bit byte streams, and the code pages they use.
//
// The request cycle reads its request as bytes and decodes them itself (line
// rules, end-of-input rules, the code pages of Locale); this interface only
// opens the streams, moves bytes and tells each stream's code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/locale.h"

namespace vantrel::platform {

struct ReadResult {
    enum class Status {
        Data,        // `count` bytes were read (count > 0)
        End,         // no more bytes
        BrokenPipe,  // the writer closed its end: counts as the end of input
        Error,       // `error` holds the system error number
    };
    Status status = Status::End;
    std::size_t count = 0;
    // A Windows error code on both platforms (2 file not found, 5 access denied,
    // 6 invalid handle, ...): see the error numbers in platform.h.
    std::uint32_t error = 0;
};

class ByteReader {
public:
    virtual ~ByteReader() = default;
    virtual ReadResult Read(char* buffer, std::size_t size) = 0;
};

class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    // Writes all of `bytes`; false when that failed.
    virtual bool Write(std::string_view bytes) = 0;
};

struct OpenedStream {
    std::unique_ptr<ByteReader> reader;  // set for an input that opened
    std::unique_ptr<ByteWriter> writer;  // set for an output that opened
    CodePage code_page = 0;              // how the stream's text is encoded
    std::uint32_t error = 0;             // system error number when it did not open
};

class Console {
public:
    virtual ~Console() = default;

    // The process's standard input: the console's input code page for a console,
    // the ANSI code page otherwise. Error 6 for an unusable handle.
    virtual OpenedStream OpenStandardInput() = 0;

    // The process's standard output: the console's output code page for a
    // console, the ANSI code page otherwise.
    virtual OpenedStream OpenStandardOutput() = 0;
};

// The operating system's console and code pages. Lives for the whole process.
Console& RealConsole();

}  // namespace vantrel::platform
