// Whole runs of vantrel.exe under Wine in a folder of their own: the tool (under
// any file name), BANCO.INI, the stand-in client library under the name the test
// gives it, and its script. The error box is read on the private X display that
// the test runs with, while the run waits on it, and then closed with OK.
#pragma once

#include "testing/test_only.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "testing/key_service.h"
#include "testing/run_program.h"
#include "testing/tool_fixture.h"

namespace vantrel::end_to_end {

using testing::kSuccess;

// The box as the reader saw it on the screen.
struct SeenBox {
    std::string caption, text, buttons, icon;
};

// What the stand-in client library is told to answer (its script's lines).
struct ClientScript {
    std::vector<std::string> lines;
};

class WindowsToolTest : public ::testing::Test {
protected:
    // Skips when the test runs without a display (outside wine-display-run).
    void SetUp() override;

    // The tool's copy in the run folder, named `name`.
    void PlaceTool(const std::string& name = "vantrel.exe");
    // The stand-in client library (or, `foreign`, the 64-bit library) as `name`.
    void PlaceClient(const std::string& name, bool foreign = false);
    void WriteScript(const std::vector<std::string>& lines);
    void WriteSettings(const std::string& ini);

    // A run that shows no box: its result.
    testing::ProgramResult RunWithoutBox();
    // A run that shows a box: the box as seen while the run waits on it. Checks
    // that meanwhile, and still after `hold_ms` more, the run has written nothing
    // on standard output, no log line and asked for no key; then presses OK and
    // gives the run's result in `result`.
    SeenBox RunWithBox(testing::ProgramResult& result, const std::string& caption = "vantrel",
                       int hold_ms = 0);

    // The calls the stand-in recorded, one a line.
    std::vector<std::string> Calls() const;
    // The tax id the last access-key request carried ("cnpj=" up to "&"); "<none>"
    // without a request.
    std::string SentCnpj();
    // The run log holds exactly one line, with the result.
    void ExpectLoggedOnce(const std::string& result) const;

    // A fresh run folder and outputs, and a key service that has had no request:
    // for the next case of a table.
    void NewFolder();

    std::unique_ptr<testing::TempDir> dir = std::make_unique<testing::TempDir>();
    std::unique_ptr<testing::TempDir> outputs =
        std::make_unique<testing::TempDir>();  // the run's standard output and error
    testing::KeyService key_service{R"({"token":"k"})"};
    std::string tool = "vantrel.exe";
};

}  // namespace vantrel::end_to_end
