// Every input the fuzzers keep (tests/fuzz/corpus/*) and every one that once broke something
// (tests/fuzz/crashes/*) goes through the same harnesses as in the fuzz targets, natively and
// under Wine, where the files and the legacy code page are the platform's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzHarness.h"
#include "support/Files.h"
#include "support/SourcePath.h"

namespace fs = std::filesystem;
using movrek::fuzz::Findings;
using movrek::test::SourcePath;

namespace {

// A folder under the source tree.
fs::path SourceFolder(std::u16string_view relative) { return fs::path(SourcePath(relative)); }

std::vector<fs::path> InputsUnder(const fs::path& root) {
    std::vector<fs::path> files;
    std::error_code error;
    if (!fs::is_directory(root, error)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzRegression : public ::testing::Test {
protected:
    template <class Harness>
    void RunAll(Harness harness) {
        std::vector<fs::path> inputs = InputsUnder(SourceFolder(u"tests/fuzz/corpus"));
        const size_t corpus = inputs.size();
        for (const fs::path& crash : InputsUnder(SourceFolder(u"tests/fuzz/crashes"))) inputs.push_back(crash);
        // The seeds alone are a dozen files per target; fewer means the folder was not found.
        ASSERT_GE(corpus, 12u) << "no corpus under " << SourceFolder(u"tests/fuzz/corpus").string();
        for (const fs::path& input : inputs) {
            const Findings findings = harness(movrek::test::ReadBytes(input), folder_);
            for (const std::string& finding : findings)
                ADD_FAILURE() << input.filename().string() << ": " << finding;
        }
    }

    movrek::test::TempFolder temp_{"movrek-fuzzreg-"};
    const fs::path& folder_ = temp_.Root();
};

}  // namespace

TEST_F(FuzzRegression, KeyValueDocumentKeepsItsInvariantsOnEveryKeptInput) {
    RunAll(movrek::fuzz::RunKini);
}

TEST_F(FuzzRegression, SettingsLoadAndRoundTripOnEveryKeptInput) {
    RunAll(movrek::fuzz::RunSettings);
}

// The harnesses must be able to fail: a document whose saved form is broken and a settings
// load that changes nothing are what they exist to notice.
TEST_F(FuzzRegression, TheHarnessesReportWhatTheyCheck) {
    // A file that is not a settings file: refused, nothing found wrong.
    EXPECT_TRUE(movrek::fuzz::RunSettings("[other]\r\nkey=value\r\n", folder_).empty());
    // A folder where the input file should go cannot be written: the harness says so.
    fs::create_directories(folder_ / "fuzz-in.ini");
    EXPECT_FALSE(movrek::fuzz::RunKini("Movrek=0.3\r\n", folder_).empty());
}
