// pressel_bench_floor MODE FILE [OUT_BYTES_PER_INPUT_BYTE]
//
// The cheapest way to do the bare work a command of the tool must do on a
// stream, so that the commands can be measured against what the machine
// gives on the same file in the same run. Reads FILE with read(2) in 1 MiB
// blocks (as the tool's reader does) and writes to standard output in 1 MiB
// blocks:
//
//   hop     hops from structured field to structured field by the length
//           after each X'5A' (what every command must at least do), whole
//           fields in the block at a time; writes nothing and prints the
//           field count to standard error
//   nest    hops as `hop` does and, in each presentation-text field
//           (X'D3EE9B'), from control sequence to control sequence by their
//           lengths (chains followed, text between chains found with
//           memchr): the least that a command which looks at every control
//           sequence must do; prints the field and control-sequence counts
//   list    hops as `hop` does and writes a line per field: its offset and
//           length in decimal (std::to_chars), its identifier in hex (a
//           2-character table) and a 3-letter name from a table by the
//           identifier's last byte, tab-separated, 1 MiB at a time: the
//           least that a listing of the fields must do
//   hex     writes every input byte as two hexadecimal digits (2-character
//           table): the floor of a dump that shows the bytes
//   map     maps every input byte through a 256-byte table (as EBCDIC text
//           is converted): the floor of text conversion
//   write N writes N output bytes for every input byte (copies of the input
//           block, N may be fractional): the floor of a command that formats
//           that much output, by memory copies alone
//
// Each mode touches every byte it must and no more; none decodes a record.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = std::size_t(1) << 20;

void writeAll(const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(1, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            std::perror("write");
            std::exit(2);
        }
        p += w;
        n -= std::size_t(w);
    }
}

// Calls f(block, size) for each block of the file.
template <class F>
void eachBlock(int fd, F&& f) {
    std::vector<unsigned char> block(kBlock);
    for (;;) {
        ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::perror("read");
            std::exit(2);
        }
        if (n == 0) return;
        f(block.data(), std::size_t(n));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage: pressel_bench_floor hop|nest|list|hex|map|write FILE [N]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int fd = ::open(argv[2], O_RDONLY);
    if (fd < 0) {
        std::perror(argv[2]);
        return 2;
    }
    std::vector<char> out(4 * kBlock);
    if (mode == "hop" || mode == "nest" || mode == "list") {
        const bool nested = mode == "nest", listed = mode == "list";
        static const char digits[] = "0123456789ABCDEF";
        char pairs[512], names[256][4];
        for (int b = 0; b < 256; ++b) {
            pairs[2 * b] = digits[b >> 4];
            pairs[2 * b + 1] = digits[b & 15];
            names[b][0] = char('A' + b % 26), names[b][1] = char('A' + b / 26 % 26), names[b][2] = 'X', names[b][3] = '\t';
        }
        std::size_t used = 0;  // bytes of `out` written
        std::uint64_t offset = 0;
        // Whole fields are walked in place; the part of a field that a block
        // cuts off is moved to the front and completed by the next read.
        std::vector<unsigned char> buf(kBlock + 65536);
        std::size_t have = 0;
        std::uint64_t fields = 0, controls = 0;
        for (;;) {
            ssize_t n = ::read(fd, buf.data() + have, buf.size() - have);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                std::perror("read");
                return 2;
            }
            if (n == 0) break;
            have += std::size_t(n);
            std::size_t i = 0;
            while (have - i >= 3) {
                const unsigned char* f = buf.data() + i;
                if (f[0] != 0x5A) {
                    std::fprintf(stderr, "no X'5A' at a field start\n");
                    return 1;
                }
                const std::size_t length = (std::size_t(f[1]) << 8) | f[2];
                if (length < 8) {
                    std::fprintf(stderr, "a field shorter than its header\n");
                    return 1;
                }
                if (have - i < length + 1) break;
                ++fields;
                if (listed) {
                    char* q = out.data() + used;
                    q = std::to_chars(q, q + 24, offset).ptr;
                    *q++ = '\t';
                    std::memcpy(q, pairs + 2 * f[3], 2);
                    std::memcpy(q + 2, pairs + 2 * f[4], 2);
                    std::memcpy(q + 4, pairs + 2 * f[5], 2);
                    q[6] = '\t';
                    std::memcpy(q + 7, names[f[5]], 4);
                    q = std::to_chars(q + 11, q + 24, length).ptr;
                    *q++ = '\n';
                    used = std::size_t(q - out.data());
                    if (used >= kBlock) {
                        writeAll(out.data(), used);
                        used = 0;
                    }
                    offset += length + 1;
                }
                if (nested && f[3] == 0xD3 && f[4] == 0xEE && f[5] == 0x9B) {
                    // Control sequences start with X'2BD3'; an odd function
                    // type announces the next one of the chain.
                    const unsigned char* p = f + 9;
                    const unsigned char* end = f + 1 + length;
                    bool chained = false;
                    while (p < end) {
                        if (!chained) {
                            const void* at = std::memchr(p, 0x2B, std::size_t(end - p));
                            if (!at) break;
                            p = static_cast<const unsigned char*>(at);
                            if (end - p < 4 || p[1] != 0xD3) {
                                ++p;
                                continue;
                            }
                            p += 2;
                        }
                        if (end - p < 2 || p[0] < 2) break;
                        ++controls;
                        chained = (p[1] & 1) != 0;
                        p += p[0];
                    }
                }
                i += length + 1;
            }
            std::memmove(buf.data(), buf.data() + i, have - i);
            have -= i;
        }
        if (listed) writeAll(out.data(), used);
        if (nested)
            std::fprintf(stderr, "%llu fields, %llu control sequences\n", static_cast<unsigned long long>(fields),
                         static_cast<unsigned long long>(controls));
        else
            std::fprintf(stderr, "%llu fields\n", static_cast<unsigned long long>(fields));
    } else if (mode == "hex") {
        static const char digits[] = "0123456789ABCDEF";
        char pairs[512];
        for (int b = 0; b < 256; ++b) {
            pairs[2 * b] = digits[b >> 4];
            pairs[2 * b + 1] = digits[b & 15];
        }
        eachBlock(fd, [&](const unsigned char* p, std::size_t n) {
            char* o = out.data();
            for (std::size_t i = 0; i < n; ++i, o += 2) std::memcpy(o, pairs + 2 * p[i], 2);
            writeAll(out.data(), 2 * n);
        });
    } else if (mode == "map") {
        unsigned char table[256];
        for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>((b * 167 + 13) & 0xFF);
        eachBlock(fd, [&](const unsigned char* p, std::size_t n) {
            char* o = out.data();
            for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<char>(table[p[i]]);
            writeAll(out.data(), n);
        });
    } else if (mode == "write") {
        const double per = argc > 3 ? std::strtod(argv[3], nullptr) : 1.0;
        if (!(per > 0 && per <= 64)) {
            std::fprintf(stderr, "N must be above 0 and at most 64\n");
            return 2;
        }
        double owed = 0;
        eachBlock(fd, [&](const unsigned char* p, std::size_t n) {
            owed += per * double(n);
            while (owed >= 1) {
                const std::size_t k = std::min<std::size_t>(std::size_t(owed), out.size());
                // Copies of the input block, so that every output byte is written to memory.
                for (std::size_t at = 0; at < k; at += n) std::memcpy(out.data() + at, p, std::min(n, k - at));
                writeAll(out.data(), k);
                owed -= double(k);
            }
        });
    } else {
        std::fprintf(stderr, "unknown mode '%s' (hop, nest, list, hex, map or write)\n", mode.c_str());
        return 2;
    }
    ::close(fd);
    return 0;
}
