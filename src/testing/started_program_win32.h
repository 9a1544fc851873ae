// A built program started as a child process that runs on while the test looks
// at it: its standard output and error go to files that the test can read at any
// moment (a pipe's content is seen only once the child ends), standard input is
// the null device. Windows only.
#pragma once

#include "testing/test_only.h"

#include <windows.h>

#include <string>
#include <vector>

#include "testing/run_program.h"

namespace vantrel::testing {

class StartedProgram {
public:
    // Starts `program` with `args` (UTF-8) in `directory`; the outputs go to
    // files in `output_directory`.
    StartedProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& directory, const std::string& output_directory);
    // A child still running is ended.
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool Running() const;
    // What the child has written so far.
    std::string Output() const { return ReadFileBytes(out_path_); }
    std::string Errors() const { return ReadFileBytes(err_path_); }

    // Waits up to `timeout_ms` for the end; a child still running then is ended
    // and the result says timed_out.
    ProgramResult Wait(int timeout_ms);

private:
    std::string out_path_, err_path_;
    HANDLE process_ = nullptr;
};

}  // namespace vantrel::testing
