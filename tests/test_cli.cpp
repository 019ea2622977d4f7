#include "pressel/tool/cli.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstddef>
#include <iterator>
#include <ranges>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace pressel;

namespace {

// A regular expression matching exactly `text` (death tests match the
// child's standard error against a regex).
std::string exactly(const std::string& text) {
    std::string re = "^";
    for (const char c : text) {
        if (std::string_view(".[]()*+?{}|^$\\").find(c) != std::string_view::npos) re += '\\';
        re += c;
    }
    return re + "$";
}

// Run in a death test's child: standard output goes to standard error so the
// test can see it, or nowhere so that standard error alone can be checked.
void stdoutToStderr() { ::dup2(2, 1); }
void stdoutToNull() {
    FILE* null = std::freopen("/dev/null", "w", stdout);
    (void)null;
}

void setArgs(std::vector<std::string> argv) {
    std::vector<char*> ptrs;
    for (auto& s : argv) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    setProgramArgs(static_cast<int>(argv.size()), ptrs.data());
}

const std::vector<OptDescr> kOptions = {
    {"o", {"out", "output"}, ReqArg{"FILE"}, "write to FILE"},
    {"vq", {"verbose"}, NoArg{}, "more output\nrepeat for even more"},
    {"", {"pages"}, OptArg{"N"}, "pages to keep"},
    {"x", {}, NoArg{}, "short only"},
};

const std::string kTable = "Options:\n"
                           "  -o FILE  --out=FILE, --output=FILE  write to FILE\n"
                           "  -v, -q   --verbose                  more output\n"
                           "                                      repeat for even more\n"
                           "           --pages[=N]                pages to keep\n"
                           "  -x                                  short only\n";

UsageHeader header = [](const std::string& prog) { return "Usage: " + prog; };

} // namespace

// ---------------------------------------------------------------------------

TEST(ProgramArgs, NameIsBaseNameAndArgsExcludeIt) {
    setArgs({"/usr/local/bin/pressel", "a.afp", "", "b.afp"});
    EXPECT_EQ(programName(), "pressel");
    EXPECT_EQ(programArgs(), (std::vector<std::string>{"a.afp", "", "b.afp"}));

    setArgs({"tool"});
    EXPECT_EQ(programName(), "tool");
    EXPECT_TRUE(programArgs().empty());

    setProgramName("pressel cat");
    EXPECT_EQ(programName(), "pressel cat");
    setProgramArgs(0, nullptr);
    EXPECT_EQ(programName(), "pressel cat");
    EXPECT_TRUE(programArgs().empty());
}

TEST(ReadArgs, EnoughArgumentsAreReturnedUnchanged) {
    setArgs({"prog"});
    EXPECT_TRUE(readArgs(0).empty());
    EXPECT_TRUE(readArgs(-3).empty());

    setArgs({"prog", "in.afp", "out.afp"});
    EXPECT_EQ(readArgs(2), (std::vector<std::string>{"in.afp", "out.afp"}));
}

TEST(ReadArgs, TooFewPrintsUsageLineOnStdoutAndExits1) {
    EXPECT_EQ(readArgsUsageText("prog"), "Usage: prog FILE...\n");
    setArgs({"/bin/prog", "in.afp"});
    EXPECT_EXIT((stdoutToStderr(), readArgs(2)), ::testing::ExitedWithCode(1), exactly("Usage: prog FILE...\n"));
    EXPECT_EXIT((stdoutToNull(), readArgs(2)), ::testing::ExitedWithCode(1), "^$");
}

// ---------------------------------------------------------------------------

TEST(UsageInfo, TableColumnsArePaddedToWidestEntry) { EXPECT_EQ(usageInfo("Options:", kOptions), kTable); }

TEST(UsageInfo, EdgeCases) {
    EXPECT_EQ(usageInfo("head", {}), "head\n");

    // No option has a short form: the short column is empty but keeps its
    // separators. An empty description keeps the line and its padding; a
    // final line feed does not add a line; an inner empty line is kept.
    const std::vector<OptDescr> opts = {
        {"", {"a"}, NoArg{}, ""},
        {"", {"bb"}, ReqArg{"X"}, "one\n\nthree\n"},
    };
    EXPECT_EQ(usageInfo("h", opts), "h\n"
                                    "    --a     \n"
                                    "    --bb=X  one\n"
                                    "            \n"
                                    "            three\n");

    // Widths count characters, not bytes.
    const std::vector<OptDescr> wide = {
        {"a", {}, ReqArg{"\xC3\xA9"}, "e"},
        {"b", {}, ReqArg{"xy"}, "f"},
    };
    EXPECT_EQ(usageInfo("h", wide), "h\n"
                                     "  -a \xC3\xA9     e\n"
                                     "  -b xy    f\n");
}

TEST(ShowUsage, TextsAreHeaderWithSuffixThenTable) {
    const std::string usage = "Usage: prog [OPTION...]\n" + kTable.substr(kTable.find('\n') + 1) + "\n";
    EXPECT_EQ(usageText(kOptions, header, "prog"), usage);
    EXPECT_EQ(errorText(kOptions, header, "prog", "bad thing"), "*** Error: bad thing\n\n" + usage);
    EXPECT_EQ(usageText({}, header, "p"), "Usage: p [OPTION...]\n\n");
}

TEST(ShowUsage, HelpGoesToStdoutAndExits0) {
    setArgs({"prog"});
    EXPECT_EXIT((stdoutToStderr(), showUsage(kOptions, header, "")), ::testing::ExitedWithCode(0),
                exactly(usageText(kOptions, header, "prog")));
    EXPECT_EXIT((stdoutToNull(), showUsage(kOptions, header, "")), ::testing::ExitedWithCode(0), "^$");
}

TEST(ShowUsage, ErrorGoesToStderrAndExits1) {
    setArgs({"prog"});
    setProgramName("pressel cat");
    EXPECT_EXIT((stdoutToNull(), showUsage(kOptions, header, "unrecognized option `--foo'")),
                ::testing::ExitedWithCode(1),
                exactly("*** Error: unrecognized option `--foo'\n\n" + usageText(kOptions, header, "pressel cat")));
}

// ---------------------------------------------------------------------------

TEST(ParseArgs, AllSpellingsOfOptionsAndOperands) {
    const auto p = parseArgs(kOptions, {"in.afp", "-o", "a", "-ob", "--out=c", "--output", "d", "-vq", "--verbose",
                                        "--pages", "--pages=3", "-x", "-", "--", "-o", "--verbose"});
    EXPECT_EQ(p.opts.at("out"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(p.opts.at("verbose").size(), 3u);
    EXPECT_EQ(p.opts.at("pages"), (std::vector<std::string>{"", "3"}));
    EXPECT_TRUE(p.has("x"));
    EXPECT_EQ(p.operands, (std::vector<std::string>{"in.afp", "-", "-o", "--verbose"}));
    EXPECT_EQ(p.get("out"), "d");
    EXPECT_EQ(p.get("missing", "dflt"), "dflt");
    EXPECT_FALSE(p.has("output"));
}

TEST(ParseArgs, ClustersAndValuesThatLookLikeOptions) {
    // A flag cluster ending in an option with a required argument takes the
    // rest of the cluster, or else the next argument, whatever it looks like.
    auto p = parseArgs(kOptions, {"-vxofile"});
    EXPECT_EQ(p.get("out"), "file");
    EXPECT_TRUE(p.has("verbose") && p.has("x"));

    p = parseArgs(kOptions, {"-vo", "--verbose"});
    EXPECT_EQ(p.get("out"), "--verbose");
    EXPECT_EQ(p.opts.at("verbose").size(), 1u);

    p = parseArgs(kOptions, {"--out=", "--out=a=b"});
    EXPECT_EQ(p.opts.at("out"), (std::vector<std::string>{"", "a=b"}));
}

TEST(ParseArgs, ErrorsNameTheOption) {
    const auto message = [](std::vector<std::string> args) {
        try {
            parseArgs(kOptions, args);
        } catch (const UsageError& e) { // a pressel::Error, so tools catch it with the rest
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message({"--foo"}), "unrecognized option `--foo'");
    EXPECT_EQ(message({"--foo=1"}), "unrecognized option `--foo'");
    EXPECT_EQ(message({"--outp"}), "unrecognized option `--outp'"); // no abbreviations
    EXPECT_EQ(message({"-vz"}), "unrecognized option `-z'");
    EXPECT_EQ(message({"in", "--out"}), "option `--out' requires an argument");
    EXPECT_EQ(message({"-o"}), "option `-o' requires an argument");
    EXPECT_EQ(message({"--verbose=yes"}), "option `--verbose' doesn't allow an argument");
}

// ---------------------------------------------------------------------------

TEST(ToA8, PacksEightValuesMostSignificantFirst) {
    const auto oneToEight = [](int, int n) {
        std::vector<int> v;
        for (int i = 1; i <= n; ++i) v.push_back(i);
        return v;
    };
    EXPECT_EQ(toA8(0, oneToEight), 0x0102030405060708u);

    const auto bytes = [](std::uint64_t, int) { return std::array<std::uint8_t, 8>{0xFF, 0, 0, 0, 0, 0, 0x80, 0x01}; };
    EXPECT_EQ(toA8(std::uint64_t{0}, bytes), 0xFF00000000008001u);

    // Values wider than a byte are added (not or-ed), wrapping in 64 bits.
    const auto wide = [](int, int) { return std::vector<std::uint64_t>{0x1AB, 0, 0, 0, 0, 0, 0x1FF, 0x100}; };
    EXPECT_EQ(toA8(0, wide), 0xAB00000000020000u);
}

TEST(ToA8, WrongCountIsAnError) {
    for (const std::size_t count : {0u, 7u, 9u}) {
        const auto step = [count](int, int) { return std::vector<int>(count, 1); };
        EXPECT_THROW(toA8(0, step), Error) << count;
    }
}

TEST(ToA8, PackName8PadsMapsAndRejectsLongNames) {
    EXPECT_EQ(toA8(std::string_view("AB"), packName8()), 0x4142404040404040u);
    EXPECT_EQ(toA8(std::string_view(""), packName8({}, 0x20)), 0x2020202020202020u);
    EXPECT_EQ(toA8(std::string_view("ABCDEFGH"), packName8()), 0x4142434445464748u);

    // The map applies to the name's bytes only; the pad byte is used as given.
    const auto toLower = [](std::uint8_t b) { return static_cast<std::uint8_t>(b | 0x20); };
    EXPECT_EQ(toA8(std::string_view("AB"), packName8(toLower)), 0x6162404040404040u);

    EXPECT_THROW(toA8(std::string_view("ABCDEFGHI"), packName8()), Error);
    EXPECT_EQ(packName8()("X", 3), (std::vector<std::uint8_t>{'X', 0x40, 0x40}));
}

// ---------------------------------------------------------------------------

namespace bitmap_test {
struct Cell {
    bool on;
};
std::string show(const Cell& c) { return c.on ? "#" : "."; }

// The values 0 .. n-1 as an input-only range.
struct Counter {
    int n;
    struct iterator {
        using value_type = int;
        using difference_type = std::ptrdiff_t;
        int i;
        int n;
        int operator*() const { return i; }
        iterator& operator++() { return ++i, *this; }
        void operator++(int) { ++i; }
        bool operator==(std::default_sentinel_t) const { return i >= n; }
    };
    iterator begin() const { return {0, n}; }
    std::default_sentinel_t end() const { return {}; }
};
static_assert(std::ranges::input_range<Counter> && !std::ranges::forward_range<Counter>);
} // namespace bitmap_test

TEST(ShowBitmap, RowsOfWidthLastOneShorter) {
    std::ostringstream out;
    showBitmap(std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 4, out);
    EXPECT_EQ(out.str(), "0123\n4567\n89\n");

    out.str("");
    showBitmap(std::vector<int>{1, 2, 3, 4}, 2, out);
    EXPECT_EQ(out.str(), "12\n34\n");

    out.str("");
    showBitmap(std::vector<int>{}, 4, out);
    showBitmap(std::vector<int>{10, 200}, 100, out);
    EXPECT_EQ(out.str(), "10200\n");
}

TEST(ShowBitmap, TextForms) {
    using bitmap_test::Cell;
    std::ostringstream out;
    showBitmap(std::vector<Cell>{{true}, {false}, {true}, {true}, {false}}, 3, out);
    EXPECT_EQ(out.str(), "#.#\n#.\n");

    // A single-pass range is walked once, with a custom rendering.
    out.str("");
    showBitmap(
        bitmap_test::Counter{5}, 2, [](int v) { return std::string(static_cast<std::size_t>(v), '*'); }, out);
    EXPECT_EQ(out.str(), "*\n*****\n****\n");
}

TEST(ShowBitmap, NonPositiveWidthThrowsBeforePrinting) {
    std::ostringstream out;
    EXPECT_THROW(showBitmap(std::vector<int>{1, 2}, 0, out), Error);
    EXPECT_THROW(showBitmap(std::vector<int>{}, -1, out), Error);
    EXPECT_EQ(out.str(), "");
}
