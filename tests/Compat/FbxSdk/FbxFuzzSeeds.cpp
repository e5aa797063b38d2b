// FbxFuzzSeeds DIR: writes the writer's fixtures into DIR as the fuzzer's seed corpus.
#include "FbxWriterFixtures.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: FbxFuzzSeeds DIR\n");
        return 64;
    }
    int n = 0;
    for (const auto& bytes : fbxtest::WriterFixtures()) {
        std::ofstream out(std::string(argv[1]) + "/writer_fixture_" + std::to_string(n++) + ".fbx", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out)
            return 1;
    }
    return 0;
}
