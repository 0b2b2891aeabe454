#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz/SeedCorpus.h"

// Writes the seed corpus, one file per seed, into the folder given.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    int written = 0;
    for (const auto& seed : varnel::fuzz::SeedCorpus()) {
        const std::string path = std::string(argv[1]) + "/" + seed.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const auto bytes = varnel::fuzz::EncodeRadioStream(seed.stream);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d seeds in %s\n", written, argv[1]);
    return 0;
}
