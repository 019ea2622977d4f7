// Command-line support shared by the pressel tool and by small programs built
// on the library.
//
//   readArgs      fetch the arguments, insisting on a minimum count
//   showUsage     print the option table (help) or an error banner, then exit
//   parseArgs     a small getopt-like parser driven by the same option table
//   toA8          pack eight small values into one A8 field value
//   showBitmap    print a sequence of values as rows of text
//
// Conventions every tool shares:
//
//   - Too few arguments: "Usage: <prog> FILE...\n" on standard output, exit 1.
//   - Help: the option table on standard output, exit 0.
//   - A usage error: "*** Error: <message>\n\n" and the option table on
//     standard error, exit 1.
//
// The exiting functions are thin: the texts they print are built by pure
// functions (readArgsUsageText, usageText, errorText) so that callers and
// tests can see exactly what would be written.
//
// The program name and argument list are process-wide state set once from
// main() with setProgramArgs(); nothing here is synchronised, so set them
// before starting threads.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <iostream>
#include <map>
#include <ostream>
#include <ranges>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "pressel/core/error.hpp"

namespace pressel {

// ---------------------------------------------------------------------------
// Program name and arguments

// Records the program's arguments: the name is the last path component of
// argv[0] (everything after the final '/'; on Windows also '\\'), the
// arguments are argv[1] .. argv[argc-1]. With argc < 1 or a null argv the
// name stays as it was (initially "pressel") and the argument list is empty.
void setProgramArgs(int argc, char** argv);

// Overrides the name shown in usage texts, e.g. "pressel cat" for a
// subcommand of the multi-tool.
void setProgramName(std::string name);

const std::string& programName();
const std::vector<std::string>& programArgs();

// The text readArgs appends to the program name in its usage line.
inline constexpr std::string_view readArgsSuffix = " FILE...";

// "Usage: " + prog + readArgsSuffix + "\n".
std::string readArgsUsageText(std::string_view prog);

// Returns the program's arguments (without the program name) when there are
// at least n of them; more are accepted and returned. With fewer (n compared
// as a signed number, so n <= 0 never fails) writes readArgsUsageText of the
// program name to standard output and exits with status 1.
std::vector<std::string> readArgs(int n);

// ---------------------------------------------------------------------------
// Option descriptors and the option table

struct NoArg {
    friend bool operator==(const NoArg&, const NoArg&) = default;
};
struct ReqArg {
    std::string placeholder;
    friend bool operator==(const ReqArg&, const ReqArg&) = default;
};
struct OptArg {
    std::string placeholder;
    friend bool operator==(const OptArg&, const OptArg&) = default;
};
using ArgDescr = std::variant<NoArg, ReqArg, OptArg>;

// One option: its short characters (e.g. "oO"), its long names, its argument
// kind and a description that may span several lines ('\n' separated).
//
//   {"o", {"out", "output"}, ReqArg{"FILE"}, "write to FILE"}
struct OptDescr {
    std::string shortOpts;
    std::vector<std::string> longOpts;
    ArgDescr arg;
    std::string description;
};

// The option table: the header line, then one line per description line of
// each option:
//
//   "  " short-column "  " long-column "  " description-line "\n"
//
// Short entries are "-c", "-c PH" (required) or "-c[PH]" (optional); long
// entries "--name", "--name=PH" or "--name[=PH]"; several entries in a column
// are joined with ", ". Both columns are padded with spaces on the right to
// their widest entry (widths count UTF-8 code points), and further description
// lines get blank, padded columns.
//
// Description lines are split at '\n'; a final '\n' ends the last line
// rather than starting an empty one, and an empty description still gives
// the option its one line. Lines are never right-trimmed: a line whose
// description is empty keeps its column padding and separator spaces, so
// every line of a table has a predictable shape.
//
// An empty option list yields the header line alone. Every line, the header
// included, ends with "\n".
std::string usageInfo(std::string_view header, const std::vector<OptDescr>& options);

// The text showUsage appends to the header function's result.
inline constexpr std::string_view usageHeaderSuffix = " [OPTION...]";

using UsageHeader = std::function<std::string(const std::string& prog)>;

// What showUsage writes to standard output for help:
//   usageInfo(header(prog) + usageHeaderSuffix, options) + "\n"
std::string usageText(const std::vector<OptDescr>& options, const UsageHeader& header,
                      const std::string& prog);

// What showUsage writes to standard error for an error:
//   "*** Error: " + err + "\n\n" + usageText(options, header, prog)
std::string errorText(const std::vector<OptDescr>& options, const UsageHeader& header,
                      const std::string& prog, const std::string& err);

// Ends the program. With an empty err writes usageText for programName() to
// standard output and exits with status 0; otherwise writes errorText to
// standard error and exits with status 1.
[[noreturn]] void showUsage(const std::vector<OptDescr>& options, const UsageHeader& header,
                            const std::string& err);

// ---------------------------------------------------------------------------
// Parsing arguments against an option table

// A command line that does not fit the option table.
class UsageError : public Error {
public:
    using Error::Error;
};

struct ParsedArgs {
    // Values given for each option, in command-line order, keyed by the
    // option's first long name (by its first short character if it has no
    // long name). A flag, or an optional argument left out, records "".
    std::map<std::string, std::vector<std::string>> opts;
    // Everything that is not an option, in order.
    std::vector<std::string> operands;

    bool has(const std::string& name) const;
    // The last value given for the option (a later one overrides an earlier
    // one), or def when the option is absent.
    std::string get(const std::string& name, const std::string& def = "") const;
};

// Parses args (without the program name) against the option table:
//
//   -x            flag; flags cluster: -xy
//   -x VALUE      required argument, also -xVALUE (and -yxVALUE after flags)
//   -x[VALUE]     optional argument: only attached, -xVALUE
//   --name        flag, or optional argument left out
//   --name=VALUE  required or optional argument
//   --name VALUE  required argument
//   --            ends the options; everything after it is an operand
//   -             alone is an operand (standard input by convention)
//
// Options and operands may be interleaved ("in.afp -o out.afp"). Long names
// must match exactly: abbreviations are not accepted, so adding an option
// never changes what an existing command line means.
//
// Throws UsageError: "unrecognized option `--foo'", "unrecognized option
// `-z'", "option `--out' requires an argument", "option `-o' requires an
// argument", "option `--verbose' doesn't allow an argument".
ParsedArgs parseArgs(const std::vector<OptDescr>& options, const std::vector<std::string>& args);

// ---------------------------------------------------------------------------
// Packing A8 values

// Packs x into an A8 (an unsigned 64-bit value). step(x, 8) must yield exactly
// eight values e0..e7, each converted to std::uint64_t; otherwise a
// pressel::Error is thrown. The result is
//   (e0 << 56) + (e1 << 48) + ... + (e6 << 8) + e7
// in wrapping unsigned 64-bit arithmetic, so e0 is the most significant byte.
// For byte-sized values this is the same as or-ing the bytes together.
template <class X, class PackStep>
    requires std::invocable<PackStep&, const X&, int>
std::uint64_t toA8(const X& x, PackStep step) {
    const auto values = step(x, 8);
    std::uint64_t result = 0;
    int count = 0;
    for (const auto& e : values) {
        if (count == 8) throw Error("toA8: packing step yielded more than 8 values");
        result += static_cast<std::uint64_t>(e) << (8 * (7 - count));
        ++count;
    }
    if (count != 8)
        throw Error("toA8: packing step yielded " + std::to_string(count) + " values, expected 8");
    return result;
}

// A packing step for names: yields the n bytes of a name, each passed through
// a byte map, with a short name padded on the right by the pad byte. The pad
// byte is already in the target code and is not passed through the map, so
// the default 0x40 is the EBCDIC blank that AFP names are padded with. A name
// longer than n bytes is an error (pressel::Error), never silently truncated:
// a cut name would name something else. Use with toA8, passing a byte map
// from the name's code to the stream's (for instance ASCII to EBCDIC):
//
//   toA8(std::string_view("T1V10500"), packName8(toEbcdic))
struct PackName8 {
    std::function<std::uint8_t(std::uint8_t)> map; // empty: identity
    std::uint8_t pad = 0x40;

    std::vector<std::uint8_t> operator()(std::string_view name, int n) const;
};

inline PackName8 packName8(std::function<std::uint8_t(std::uint8_t)> map = {}, std::uint8_t pad = 0x40) {
    return PackName8{std::move(map), pad};
}

// ---------------------------------------------------------------------------
// Printing rows of values

namespace detail {

template <class T>
concept HasShow = requires(const T& v) {
    { show(v) } -> std::convertible_to<std::string>;
};

template <class T>
concept Streamable = requires(std::ostream& os, const T& v) { os << v; };

void checkBitmapWidth(int width);

} // namespace detail

// Prints the values in rows of `width` (the last row may be shorter): each
// row is the concatenation of the values' texts followed by "\n". No
// character mapping is applied to a row. Nothing is printed for no values.
// A width <= 0 cannot make progress and throws pressel::Error before anything
// is printed. The values are walked once, so lazy input ranges work.
template <std::ranges::input_range R, class Render>
    requires std::is_invocable_r_v<std::string, Render&, std::ranges::range_reference_t<R>>
void showBitmap(R&& values, int width, Render render, std::ostream& out = std::cout) {
    detail::checkBitmapWidth(width);
    std::string row;
    int inRow = 0;
    for (auto&& v : values) {
        row += render(v);
        if (++inRow == width) {
            row += '\n';
            out << row;
            row.clear();
            inRow = 0;
        }
    }
    if (inRow > 0) {
        row += '\n';
        out << row;
    }
}

// As above, rendering each value by its text form: show(v) where one exists
// for the value's type (the library's records and fields), else operator<<.
template <std::ranges::input_range R>
    requires detail::HasShow<std::ranges::range_value_t<R>> ||
             detail::Streamable<std::ranges::range_value_t<R>>
void showBitmap(R&& values, int width, std::ostream& out = std::cout) {
    using T = std::ranges::range_value_t<R>;
    showBitmap(
        std::forward<R>(values), width,
        [](const T& v) -> std::string {
            if constexpr (detail::HasShow<T>) {
                return show(v);
            } else {
                std::ostringstream os;
                os << v;
                return std::move(os).str();
            }
        },
        out);
}

} // namespace pressel
