// vramoria-convert's option table against what documents it and against the words it was
// written to accept: the usage text and the manual page name every option of the table and no
// other, every option that takes a value takes the next word whatever it looks like, and the
// usage errors stay the ones the tool printed before its options became a table (the expected
// messages below are that build's output, compared byte for byte when the table came in).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "image/picture.h"
#include "palette/palette.h"

namespace {

// Parses words as the words after the program's name.
bool Parse(const std::vector<std::string>& words, CommandLine* line, std::string* error) {
    std::vector<std::string> args = {"vramoria-convert"};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), line, error);
}

std::string UsageText() {
    testing::internal::CaptureStdout();
    PrintUsage();
    return testing::internal::GetCapturedStdout();
}

std::set<std::string> TableNames() {
    std::set<std::string> names;
    for (const OptionName& option : OptionNames()) names.insert(option.name);
    return names;
}

// The options the usage text's left column names: "  --mode M ...", "  -h, --help ...".
std::set<std::string> UsageOptions(const std::string& usage) {
    std::set<std::string> names;
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 3, "  -") != 0) continue;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            const bool more = word.back() == ',';
            if (more) word.pop_back();
            names.insert(word);
            if (!more) break;
        }
    }
    return names;
}

// The manual's bold words that start with '-' ("\-" read as '-'), on any line and on the item
// lines after .TP.
struct ManualWords {
    std::set<std::string> bold;
    std::set<std::string> items;
};

ManualWords ReadManual() {
    std::ifstream file(VRAMORIA_MANUAL);
    ManualWords words;
    bool item = false;
    for (std::string line; std::getline(file, line);) {
        for (size_t at; (at = line.find("\\-")) != std::string::npos;) line.replace(at, 2, "-");
        const bool bold = line.rfind(".B ", 0) == 0 || line.rfind(".BI ", 0) == 0 ||
                          line.rfind(".BR ", 0) == 0;
        for (char& c : line) c = c == '"' ? ' ' : c;
        std::istringstream tokens(line);
        for (std::string token; bold && tokens >> token;) {
            if (token.size() < 2 || token[0] != '-') continue;
            words.bold.insert(token);
            if (item) words.items.insert(token);
        }
        item = line == ".TP";
    }
    return words;
}

TEST(OptionTable, NamesAreUniqueOptionWords) {
    std::set<std::string> seen;
    for (const OptionName& option : OptionNames()) {
        EXPECT_TRUE(seen.insert(option.name).second) << option.name;
        EXPECT_EQ('-', option.name[0]) << option.name;
    }
    EXPECT_GE(seen.size(), 20u);
}

TEST(OptionTable, UsageListsEveryOptionAndNoOther) {
    EXPECT_EQ(TableNames(), UsageOptions(UsageText()));
}

TEST(OptionTable, ManualDocumentsEveryOptionAndNoOther) {
    const ManualWords manual = ReadManual();
    ASSERT_FALSE(manual.items.empty()) << "cannot read " << VRAMORIA_MANUAL;
    for (const std::string& name : TableNames()) EXPECT_EQ(1u, manual.bold.count(name)) << name;
    for (const std::string& name : manual.items) EXPECT_EQ(1u, TableNames().count(name)) << name;
}

TEST(OptionTable, EveryValueOptionTakesTheNextWordWhateverItIs) {
    for (const OptionName& option : OptionNames()) {
        CommandLine line;
        std::string error;
        if (!option.takesValue) {
            // Without a value the next word stays a word of its own: here a picture.
            EXPECT_TRUE(Parse({option.name, "pic.sc5"}, &line, &error))
                << option.name << ": " << error;
            EXPECT_EQ(std::vector<std::string>{"pic.sc5"}, line.pictures) << option.name;
            continue;
        }
        EXPECT_FALSE(Parse({"pic.sc5", option.name}, &line, &error)) << option.name;
        EXPECT_EQ(std::string(option.name) + " needs a value", error);
        // A value that looks like an option is still the value: accepted or refused as one.
        line = CommandLine{};
        error.clear();
        Parse({"pic.sc5", option.name, "--info"}, &line, &error);
        EXPECT_EQ(std::vector<std::string>{"pic.sc5"}, line.pictures) << option.name;
        for (const Step& step : line.steps) EXPECT_NE(kStepInfo, step.kind) << option.name;
        EXPECT_EQ(std::string::npos, error.find("needs a value")) << option.name;
    }
}

TEST(OptionTable, UsageErrorsAreTheToolsOwnWords) {
    const struct {
        std::vector<std::string> words;
        const char* error;
    } kCases[] = {
        {{"p.sc5", "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"p.sc5", "--mode", "9"}, "--mode takes 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, auto or auto-unnamed, not '9'"},
        {{"p.sc5", "--palette", "8"}, "--palette takes standard, internal or 0-7, not '8'"},
        {{"p.sc5", "--palette", "07"}, "--palette takes standard, internal or 0-7, not '07'"},
        {{"p.sc5", "--convert", "11"}, "--convert takes 5, 6, 7, 8, 10 or 12, not '11'"},
        {{"p.sc5", "--import", "11"}, "--import takes 5, 6, 7, 8, 10 or 12, not '11'"},
        {{"p.sc5", "--view", "medium"}, "--view takes full, small or large, not 'medium'"},
        {{"p.sc5", "--colors", "x"}, "--colors takes viewer or hardware, not 'x'"},
        {{"p.sc5", "--format", "gif"}, "--format takes bsave, bmp or png, not 'gif'"},
        {{"p.sc5", "--fit", "x"}, "--fit takes contain, cover or stretch, not 'x'"},
        {{"p.sc5", "--dither", "x"}, "--dither takes none, ordered or diffusion, not 'x'"},
        {{"p.sc5", "--jobs", "0"}, "--jobs takes a number of 1 to 256, not '0'"},
        {{"p.sc5", "--jobs", "+3"}, "--jobs takes a number of 1 to 256, not '+3'"},
        {{"p.sc5", "--thumbnail", "4097"},
         "--thumbnail takes a size of 1 to 4096 pixels, not '4097'"},
        {{"p.sc5", "--thumbnail", "128"},
         "--thumbnail needs an -o after it, the file the thumbnail is written to"},
        {{"p.sc5", "-o", "{foo}.png"},
         "-o '{foo}.png': names may hold {stem}, {name}, {dir} and {ext} only"},
        {{"--info"}, "no picture given"},
        {{"p.sc5", "-o", "-", "-o", "-"},
         "-o - may be given once only: standard output takes one file"},
        {{"p.sc5", "q.sc5", "-o", "-"},
         "-o - writes one picture to standard output, not a batch of several"},
        {{"-", "-"}, "- (standard input) may be named once only"},
        {{"--help", "--mode"}, "--mode needs a value"},
    };
    for (const auto& c : kCases) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(Parse(c.words, &line, &error)) << c.error;
        EXPECT_EQ(c.error, error);
    }
}

TEST(OptionTable, StepsInTheOrderGivenWithTheirValues) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(Parse({"--jobs", "3", "a.sc5", "--mode", "11", "--palette", "7", "--convert", "10",
                       "-o", "x.PNG", "--format", "bsave", "-o", "y.png", "--thumbnail", "64", "-o",
                       "t.sc5", "--", "-x.sc5", "--info"},
                      &line, &error))
        << error;
    EXPECT_EQ(3, line.jobs);
    EXPECT_EQ((std::vector<std::string>{"a.sc5", "-x.sc5", "--info"}), line.pictures);
    const struct {
        StepKind kind;
        int32_t value;
        const char* text;
    } kSteps[] = {
        {kStepMode, kScreen10, ""},         {kStepPalette, kPaletteFileFirst + 7, ""},
        {kStepConvert, kScreen10, "10"},    {kStepWritePng, 0, "x.PNG"},
        {kStepWriteBsave, 0, "y.png"},      {kStepWriteThumbnail, 64, "t.sc5"},
    };
    ASSERT_EQ(std::size(kSteps), line.steps.size());
    for (size_t i = 0; i < line.steps.size(); ++i) {
        EXPECT_EQ(kSteps[i].kind, line.steps[i].kind) << i;
        EXPECT_EQ(kSteps[i].value, line.steps[i].value) << i;
        EXPECT_EQ(kSteps[i].text, line.steps[i].text) << i;
    }
    // Standard output takes PNG whatever its name says, unless --format says otherwise.
    line = CommandLine{};
    ASSERT_TRUE(Parse({"-", "-o", "-"}, &line, &error)) << error;
    ASSERT_EQ(1u, line.steps.size());
    EXPECT_EQ(kStepWritePng, line.steps[0].kind);
}

}  // namespace
