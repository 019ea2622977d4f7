// Reads an AFP file, counts its structured fields and pages and decodes the
// name of its first page (hexadecimal EBCDIC): "fields N pages P first-page NAME".
#include <pressel/pressel.hpp>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer FILE.afp\n");
        return 2;
    }
    try {
        std::size_t fields = 0, pages = 0;
        std::string firstPage;
        pressel::AfpStream stream = pressel::readAFP(argv[1]);
        for (auto it = stream.begin(); it != stream.end(); ++it) {
            ++fields;
            if (it->code != 0xD3A8AF) continue;  // Begin Page
            if (pages++ == 0) {
                const auto bpg = pressel::decodeChunk<pressel::BPG>(*it, it.offset());
                firstPage = pressel::show(bpg.bpg_Name);
            }
        }
        std::printf("fields %zu pages %zu first-page %s\n", fields, pages, firstPage.c_str());
        return 0;
    } catch (const pressel::Error& e) {
        std::fprintf(stderr, "consumer: %s\n", e.what());
        return 1;
    }
}
