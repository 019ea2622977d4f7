// Outputs that are never destroyed and failures that are never reported as
// success: every writing command against a FIFO, a character device, a
// symbolic link, a file of mode 600, a hard-linked file, /dev/full, a closed
// pipe, its own input through "-" and an interrupt in the middle of a write;
// standard output of every command that prints; the library's same-file
// check and byte-for-byte copies of streams whose framing is not clean.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "helpers.hpp"
#include "pressel/view/check.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;
using namespace std::string_literals;

namespace {

// The three writing commands, each as the arguments that copy IN to OUT
// unchanged (strip and rename of types and names the samples do not hold).
std::vector<std::string> writing(const std::string& cmd, const std::string& in, const std::string& out) {
    if (cmd == "strip") return {"strip", in, out, "BBC"};
    if (cmd == "rename") return {"rename", "--allow-missing", in, out, "NOSUCHNM=OTHER"};
    return {"cat", in, out};
}
const std::vector<std::string> kWriting = {"cat", "strip", "rename"};

// Files in a directory, the names only.
std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string repeated(const std::string& unit, std::size_t copies) {
    std::string s;
    for (std::size_t i = 0; i < copies; ++i) s += unit;
    return s;
}

// A clean structured field from its identifier and data.
std::string field(std::uint32_t code, std::string_view data) {
    std::string p = {char(code >> 16), char(code >> 8), char(code), 0, 0, 0};
    p.append(data);
    return std::string{char(0x5A), char((p.size() + 2) >> 8), char(p.size() + 2)} + p;
}

const std::string kHello = readFileString(dataPath("hello.afp"));

TEST(SafeOutput, SpecialFilesAreWrittenDirectly) {
    TempDir dir;
    for (const std::string& cmd : kWriting) {
        SCOPED_TRACE(cmd);
        // A FIFO with a reader: the reader gets the stream, the FIFO stays.
        const std::string fifo = dir.file("fifo");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        RunResult r = runShell("cat " + shellQuote(fifo) + " > " + shellQuote(dir.file("got")) + " & " +
                               tool(writing(cmd, dataPath("hello.afp"), fifo)) + "; st=$?; wait; exit $st");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFileString(dir.file("got")), kHello);
        struct stat st{};
        ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        fs::remove(fifo);

        // A character device stays one (run as root, the old rename replaced /dev/null).
        r = runTool(writing(cmd, dataPath("hello.afp"), "/dev/null"));
        EXPECT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(::lstat("/dev/null", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));

        // A descriptor path writes into the descriptor: here standard output.
        r = runTool(writing(cmd, dataPath("hello.afp"), "/proc/self/fd/1"));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, kHello);
        r = runTool(writing(cmd, dataPath("hello.afp"), "/dev/stdout"));
        EXPECT_EQ(r.out, kHello);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"got"});
        fs::remove(dir.file("got"));
    }
}

TEST(SafeOutput, RegularFilesAreReplacedWithTheirModeLinksAndSymbolicLinks) {
    TempDir dir;
    for (const std::string& cmd : kWriting) {
        SCOPED_TRACE(cmd);
        // Mode 600 is kept.
        const std::string secret = dir.file("secret.afp");
        writeFileString(secret, "old");
        ::chmod(secret.c_str(), 0600);
        RunResult r = runTool(writing(cmd, dataPath("hello.afp"), secret));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFileString(secret), kHello);
        struct stat st{};
        ASSERT_EQ(::stat(secret.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);

        // A symbolic link is followed: the link stays, its target is replaced.
        const std::string link = dir.file("link.afp");
        fs::create_symlink("secret.afp", link);
        writeFileString(secret, "old");
        r = runTool(writing(cmd, dataPath("hello.afp"), link));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(readFileString(secret), kHello);

        // Both names of a hard-linked file see the new stream.
        const std::string other = dir.file("other.afp");
        fs::create_hard_link(secret, other);
        writeFileString(secret, "old");
        r = runTool(writing(cmd, dataPath("hello.afp"), other));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(fs::hard_link_count(secret), 2u);
        EXPECT_EQ(readFileString(secret), kHello);

        // No temporary file is left behind.
        EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"link.afp", "other.afp", "secret.afp"}));
        for (const auto& f : filesIn(dir.path())) fs::remove(dir.file(f));
    }
}

TEST(SafeOutput, FailuresLeaveTheOldOutputAlone) {
    TempDir dir;
    const std::string old = dir.file("old.afp");
    // Damaged halfway: whole fields, then a length that runs past the end.
    const std::string damaged = kHello.substr(0, 200) + "\x5A\x00\x40\xD3\xEE\xEE";
    writeFileString(dir.file("damaged.afp"), damaged);
    for (const std::string& cmd : kWriting) {
        SCOPED_TRACE(cmd);
        writeFileString(old, "old contents");
        // A missing input: the output is not even opened.
        RunResult r = runTool(writing(cmd, dir.file("missing.afp"), old));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err).find("missing.afp"), std::string::npos) << r.err;
        EXPECT_EQ(readFileString(old), "old contents");

        r = runTool(writing(cmd, dir.file("damaged.afp"), old));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err).find("input read up to offset"), std::string::npos) << r.err;
        EXPECT_EQ(readFileString(old), "old contents");
        EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"damaged.afp", "old.afp"}));

        // A folder that does not exist: the system's reason is given.
        r = runTool(writing(cmd, dataPath("hello.afp"), dir.file("none/o.afp")));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err).find("No such file or directory"), std::string::npos) << r.err;

        if (::access("/dev/full", W_OK) == 0) {
            r = runTool(writing(cmd, dataPath("hello.afp"), "/dev/full"));
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(errorLine(r.err).find("cannot write '/dev/full': No space left on device"), std::string::npos)
                << r.err;
        }
    }
}

TEST(SafeOutput, TheInputIsNeverItsOwnOutput) {
    TempDir dir;
    const std::string f = dir.file("f.afp");
    writeFileString(f, kHello);
    fs::create_symlink("f.afp", dir.file("alias.afp"));
    fs::create_hard_link(f, dir.file("link.afp"));
    for (const std::string& cmd : kWriting) {
        SCOPED_TRACE(cmd);
        // Through "-" on standard input, the same path, a symbolic link, a hard link.
        for (const std::string& out : {f, dir.file("alias.afp"), dir.file("link.afp")}) {
            RunResult r = runShell(tool(writing(cmd, "-", out)) + " < " + shellQuote(f));
            EXPECT_EQ(r.status, 1) << out;
            EXPECT_NE(errorLine(r.err).find("it is the file being read"), std::string::npos) << r.err;
            r = runTool(writing(cmd, f, out));
            EXPECT_EQ(r.status, 1) << out;
            EXPECT_NE(errorLine(r.err).find("it is the file being read"), std::string::npos) << r.err;
        }
        // Standard output appended to the input (the old cat grew it without end).
        RunResult r = runShell(tool(writing(cmd, f, "-")) + " >> " + shellQuote(f));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err).find("it is the file being read"), std::string::npos) << r.err;
        EXPECT_EQ(readFileString(f), kHello);
    }
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"alias.afp", "f.afp", "link.afp"}));
}

TEST(SafeOutput, RenameToStandardOutputFromAPipe) {
    // One pass over the input: the pipe is read once, the output comes out whole.
    RunResult r = runShell("cat " + shellQuote(dataPath("hello.afp")) + " | " +
                           tool({"rename", "--allow-missing", "/dev/stdin", "-", "NOSUCHNM=OTHER"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kHello);
    // A failing rename writes nothing to standard output.
    r = runShell("cat " + shellQuote(dataPath("corpus/hello.afp")) + " | " +
                 tool({"rename", "-", "-", "HELLOWLD=WORLDWIDE"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(errorLine(r.err).find("nothing written"), std::string::npos) << r.err;
}

TEST(SafeOutput, StandardOutputErrorsAreReported) {
    TempDir dir;
    const std::string big = dir.file("big.afp");
    writeFileString(big, repeated(kHello, 20000));
    const std::vector<std::vector<std::string>> printing = {
        {"chunks", big}, {"dump", big}, {"dump", "--view", big}, {"dump", "--json", big},
        {"text", big}, {"cat", big, "-"}, {"strip", big, "-", "BBC"},
        {"rename", "--allow-missing", big, "-", "NOSUCHNM=OTHER"}};
    for (const auto& args : printing) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        // A closed pipe stops the command at once, quietly, with the status of SIGPIPE.
        const auto start = std::chrono::steady_clock::now();
        RunResult r = runShell("(" + tool(args) + " 2>" + shellQuote(dir.file("err")) + "; echo $? >" +
                               shellQuote(dir.file("st")) + ") | head -c 1 >/dev/null");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        EXPECT_EQ(readFileString(dir.file("st")), std::to_string(128 + SIGPIPE) + "\n");
        const std::string err = readFileString(dir.file("err"));
        EXPECT_EQ(errorLine(err), "") << err;
        if (::access("/dev/full", W_OK) != 0) continue;
        r = runShell(tool(args) + " >/dev/full");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err).find("cannot write '<stdout>': No space left on device"), std::string::npos)
            << r.err;
        // A full device took nothing: the report says so, not what was handed to it.
        if (r.err.find("before the failure") != std::string::npos) {
            EXPECT_NE(r.err.find("; 0 bytes written to '<stdout>' before the failure"), std::string::npos) << r.err;
        }
    }
    if (::access("/dev/full", W_OK) != 0) return;
    // Commands whose output is short: the failure comes when it is flushed.
    const std::string tagged = dir.file("tle.afp");
    writeFileString(tagged, field(0xD3A090, "\x0A\x02\x0B\x00\xC1\xC3\xC3\xE3\xC7\xC5\x05\x36\x00\x00\xF1"s));
    // A structured field with an identifier outside the tables: check warns.
    const std::string unknown = dir.file("unknown.afp");
    writeFileString(unknown, field(0xD3FFFF, "ABC"));
    for (const auto& args : std::vector<std::vector<std::string>>{{"tle", tagged}, {"check", unknown}}) {
        SCOPED_TRACE(args[0]);
        RunResult r = runTool(args);
        EXPECT_NE(r.out, "");
        r = runShell(tool(args) + " >/dev/full");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err).find("cannot write '<stdout>': No space left on device"), std::string::npos)
            << r.err;
    }
}

// Runs the tool with a pipe on standard input, feeds it `head`, waits until
// `ready` holds, sends SIGINT and returns how the tool ended.
int interruptMidWrite(const std::vector<std::string>& args, const std::string& head,
                      const std::function<bool()>& ready) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[0], 0);
        ::close(fds[0]);
        ::close(fds[1]);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        for (int sig : {SIGINT, SIGPIPE, SIGTERM, SIGHUP}) ::signal(sig, SIG_DFL);
        std::vector<char*> argv;
        const std::string path = toolPath();
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[0]);
    std::size_t at = 0;
    while (at < head.size()) {
        ssize_t n = ::write(fds[1], head.data() + at, head.size() - at);
        if (n <= 0) break;
        at += std::size_t(n);
    }
    for (int i = 0; i < 500 && !ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(fds[1]);
    return status;
}

TEST(SafeOutput, AnInterruptRemovesTheTemporaryFile) {
    TempDir dir;
    const std::string out = dir.file("out.afp");
    // More than the writer buffers, so that the temporary file has bytes in it.
    const std::string head = repeated(kHello, 8000);
    for (const std::string& cmd : kWriting) {
        SCOPED_TRACE(cmd);
        writeFileString(out, "old contents");
        auto writtenToTemporary = [&] {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(dir.path(), ec)) {
                std::uintmax_t size = e.file_size(ec);
                if (e.path().filename() != "out.afp" && !ec && size > 0) return true;
            }
            return false;
        };
        const int status = interruptMidWrite(writing(cmd, "-", out), head, writtenToTemporary);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        EXPECT_EQ(readFileString(out), "old contents");
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.afp"});
    }
}

TEST(SafeOutput, TheLibraryRefusesToWriteOverItsInput) {
    TempDir dir;
    const std::string f = dir.file("f.afp");
    writeFileString(f, kHello);
    fs::create_symlink("f.afp", dir.file("alias.afp"));
    fs::create_hard_link(f, dir.file("link.afp"));
    for (const std::string& out : {f, dir.file("alias.afp"), dir.file("link.afp")}) {
        EXPECT_THROW(writeAFP(out, readAFP(f)), IoError) << out;
        EXPECT_EQ(readFileString(f), kHello);
    }
    try {
        writeAFP(f, readAFP(f));
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find("it is the file being read"), std::string::npos) << e.what();
    }
    // Once the input is closed, the same file can be written again.
    std::vector<AFP_> chunks;
    for (const AFP_& c : readAFP(f)) chunks.push_back(c);
    writeAFP(dir.file("alias.afp"), chunks);
    EXPECT_EQ(readFileString(f), kHello);
    EXPECT_TRUE(fs::is_symlink(dir.file("alias.afp")));
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"alias.afp", "f.afp", "link.afp"}));
}

TEST(SafeOutput, LibraryWritesReplaceOnlyOnSuccess) {
    TempDir dir;
    const std::string out = dir.file("o.afp");
    writeFileString(out, "old");
    ::chmod(out.c_str(), 0640);
    // A walk that fails halfway: the old file stays, nothing else is left.
    writeFileString(dir.file("bad.afp"), kHello.substr(0, 100) + "\x5A\x00");
    EXPECT_THROW(writeAFP(out, readAFP(dir.file("bad.afp"))), FormatError);
    EXPECT_THROW(writeAFP(out, readAFP(dir.file("bad.afp")), WriteOptions{true}), FormatError);
    {
        std::vector<AFP_> some;
        for (const AFP_& c : readAFP(dataPath("hello.afp"))) some.push_back(c);
        EXPECT_THROW(
            {
                AfpWriter w(out);
                w.write(some[0]);
                throw Error("the caller fails");
            },
            Error);
        AfpWriter w(out);
        w.write(some[0]);
        w.discard();
    }
    // Paths that name no file are refused before anything is created.
    for (const std::string& path : {std::string(), dir.path().string(), dir.file("sub/")})
        EXPECT_THROW(writeAFP(path, std::vector<AFP_>{}), IoError) << path;
    EXPECT_EQ(readFileString(out), "old");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"bad.afp", "o.afp"}));
    // Success: the new bytes, the old mode.
    writeAFP(out, readAFP(dataPath("hello.afp")));
    EXPECT_EQ(readFileString(out), kHello);
    EXPECT_EQ(fs::status(out).permissions(), fs::perms(0640));
}

// hello.afp with line ends, record descriptor words or no X'5A'.
std::string reframed(const std::string& clean, const std::string& how) {
    std::string s;
    for (std::size_t at = 0; at < clean.size();) {
        const std::size_t len = (std::size_t(byte(clean[at + 1])) << 8) | byte(clean[at + 2]);
        const std::string sf = clean.substr(at, len + 1);
        if (how == "crlf") s += sf + "\r\n";
        else if (how == "lf") s += sf + "\n\n";
        else if (how == "bare") s += sf.substr(1);
        else s += std::string{char((len + 5) >> 8), char(len + 5), 0, 0} + sf;
        at += len + 1;
    }
    return s;
}

TEST(WriteAFP, AStreamIsCopiedWithItsOwnFraming) {
    TempDir dir;
    for (const std::string how : {"crlf", "lf", "bare", "rdw"}) {
        SCOPED_TRACE(how);
        const std::string in = dir.file("in.afp");
        writeFileString(in, reframed(kHello, how));
        writeAFP(dir.file("copy.afp"), readAFP(in));
        EXPECT_EQ(readFileString(dir.file("copy.afp")), readFileString(in));
        // Normalising is a choice.
        writeAFP(dir.file("clean.afp"), readAFP(in), WriteOptions{true});
        EXPECT_EQ(readFileString(dir.file("clean.afp")), kHello);
    }
}

TEST(ReadAFP, LineEndsBetweenFieldsNeedNotFitInABlock) {
    TempDir dir;
    const std::size_t first = 1 + ((std::size_t(byte(kHello[1])) << 8) | byte(kHello[2]));
    for (const std::string sep : {"\n", "\r\n"}) {
        SCOPED_TRACE(sep.size());
        // 300,000 line ends after the first field: more than a block.
        const std::string in = kHello.substr(0, first) + repeated(sep, 300000) + kHello.substr(first);
        writeFileString(dir.file("in.afp"), in);
        std::vector<std::uint64_t> offsets;
        AfpStream s = readAFP(dir.file("in.afp"));
        for (auto it = s.begin(); it != s.end(); ++it) offsets.push_back(it.offset());
        ASSERT_EQ(offsets.size(), 14u);
        EXPECT_EQ(offsets[1], first + 300000 * sep.size());
        // Copied byte for byte from a file and from a pipe, by the library and the tool.
        writeAFP(dir.file("copy.afp"), readAFP(dir.file("in.afp")));
        EXPECT_TRUE(readFileString(dir.file("copy.afp")) == in);
        RunResult r = runShell("cat " + shellQuote(dir.file("in.afp")) + " | " + tool({"cat", "-", "-"}));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == in);
        for (const char* cmd : {"chunks", "check", "dump", "text"}) {
            r = runTool({cmd, dir.file("in.afp")});
            EXPECT_EQ(r.status, 0) << cmd << r.err;
        }
        // raw() cannot hand such a run out in one piece: it says so.
        AfpReader reader(openSource(dir.file("in.afp")));
        AFP_ c;
        ASSERT_TRUE(reader.next(c));
        EXPECT_THROW(reader.raw(), FormatError);
    }
}

TEST(ErrorContext, FailuresNameTheFieldItsIdentifierAndOffset) {
    TempDir dir;
    // A page whose EPG declares X'FFFF': the error is at the EPG, not the PTX before it.
    const std::string head = field(0xD3A8AF, "PAGE0001") + field(0xD3EE9B, "\x2B\xD3\x04\xC0\x00\x00") +
                             field(0xD3A090, "");
    std::string bad = head + "\x5A\xFF\xFF\xD3\xA9\xAF\x00\x00\x00" + std::string(40, '\x40');
    writeFileString(dir.file("bad.afp"), bad);
    const std::string where = "EPG (X'D3A9AF')";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"strip", dir.file("bad.afp"), dir.file("o.afp"), "NOP"}, {"tle", dir.file("bad.afp")},
             {"cat", dir.file("bad.afp"), dir.file("o.afp")}, {"dump", dir.file("bad.afp")}}) {
        SCOPED_TRACE(args[0]);
        RunResult r = runTool(args);
        EXPECT_EQ(r.status, 1);
        const std::string e = errorLine(r.err);
        EXPECT_NE(e.find(where), std::string::npos) << e;
        EXPECT_NE(e.find("at offset " + std::to_string(head.size())), std::string::npos) << e;
        EXPECT_EQ(e.find("(in "), std::string::npos) << e;
    }
    // A filter that fails is told where: its field, identifier and offset.
    RunResult r = runTool({"rename", dataPath("corpus/hello.afp"), dir.file("o.afp"), "HELLOWLD=WORLDWIDE"});
    EXPECT_NE(errorLine(r.err).find("(in BDT (X'D3A8A8') at offset 0)"), std::string::npos) << r.err;
}

TEST(NestedItems, AShortTripletIsKeptByEveryCommand) {
    TempDir dir;
    // A TLE whose fully qualified name triplet is two bytes long: too short
    // for its record, but it frames.
    const std::string tle = "\x5A\x00\x0A\xD3\xA0\x90\x00\x00\x00\x02\x02"s;
    const std::string in = dir.file("tle.afp");
    writeFileString(in, tle);
    RunResult r = runTool({"tle", in});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\t\t\t\n");
    r = runTool({"rename", "--allow-missing", in, dir.file("o.afp"), "A=B"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFileString(dir.file("o.afp")), tle);
    for (const char* cmd : {"dump", "chunks"}) EXPECT_EQ(runTool({cmd, in}).status, 0) << cmd;
    r = runTool({"strip", in, dir.file("s.afp"), "NOP"});
    EXPECT_EQ(readFileString(dir.file("s.afp")), tle);
    // check reports it as a warning at its offset in the file.
    auto fs = checkFile(in);
    ASSERT_EQ(fs.size(), 1u);
    EXPECT_EQ(fs[0].severity, Severity::Warning);
    EXPECT_EQ(fs[0].offset, 9u);
    EXPECT_NE(fs[0].message.find("T_FQN"), std::string::npos) << fs[0].message;
}

TEST(Check, EndsWithoutBeginsTakeLinearTime) {
    // 50,000 Begin Page and then 50,000 End Document: each End is an error;
    // checked by looking at every open Begin, this took minutes.
    std::string s;
    const std::string bpg = field(0xD3A8AF, "PAGE0001"), edt = field(0xD3A9A8, "DOC00001");
    for (int i = 0; i < 50000; ++i) s += bpg;
    for (int i = 0; i < 50000; ++i) s += edt;
    const auto start = std::chrono::steady_clock::now();
    std::size_t errors = 0;
    checkStream(memorySource(Bytes::copy(s)), [&](const Finding& f) { errors += f.severity == Severity::Error; });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(errors, 100000u);
}

TEST(Check, AChainOpenAtTheEndOfAPresentationTextField) {
    // The first PTX ends in a chained NOP (X'F9'); the second opens with what
    // would continue it. Each field is read on its own: a warning at the
    // first, and the second's bytes are its own text.
    const std::string ptx1 = field(0xD3EE9B, "\x2B\xD3\x04\xDA\xC1\xC2\x2B\xD3\x03\xF9\x00"s);
    const std::string ptx2 = field(0xD3EE9B, "\x03\xF8\x00\xC3\xC4"s);
    const std::string s = field(0xD3A89B, "") + ptx1 + ptx2 + field(0xD3A99B, "");
    auto fs = checkStream(memorySource(Bytes::copy(s)));
    ASSERT_EQ(fs.size(), 1u);
    EXPECT_EQ(fs[0].severity, Severity::Warning);
    EXPECT_EQ(fs[0].offset, 9u + 3 + 6 + 2 + 4);
    EXPECT_NE(fs[0].message.find("chain does not end"), std::string::npos) << fs[0].message;
    // The text: the TRN's "AB", then the second field's bytes as code points
    // (none of them is taken for a chained NOP).
    // Inside a page, the text command shows the "8" of the X'F8' that is not a
    // control sequence (the control characters are not printed).
    TempDir dir;
    writeFileString(dir.file("chain.afp"), field(0xD3A8AF, "") + s + field(0xD3A9AF, ""));
    RunResult r = runTool({"text", dir.file("chain.afp")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("AB", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("8CD"), std::string::npos) << r.out;
}

}  // namespace
