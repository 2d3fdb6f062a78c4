// Writes a C++ source file that holds the bytes of a binary file as an array
// with its length, so pictures can be compiled into the program.
//
//   embedfile INPUT OUTPUT NAMESPACE SYMBOL
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: embedfile INPUT OUTPUT NAMESPACE SYMBOL\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "embedfile: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::FILE* out = std::fopen(argv[2], "w");
    if (!out) {
        std::cerr << "embedfile: cannot write " << argv[2] << "\n";
        return 1;
    }
    std::fprintf(out, "// Generated from %s; do not edit.\nnamespace %s {\n", argv[1], argv[3]);
    std::fprintf(out, "extern const unsigned char %s[];\nextern const unsigned int %s_size;\n", argv[4],
                 argv[4]);
    std::fprintf(out, "const unsigned char %s[] = {", argv[4]);
    for (size_t i = 0; i < bytes.size(); ++i)
        std::fprintf(out, "%s%u,", (i % 24 == 0) ? "\n" : "", bytes[i]);
    // An empty file still needs one element for a valid array; the length stays 0.
    if (bytes.empty())
        std::fprintf(out, "0");
    std::fprintf(out, "\n};\nconst unsigned int %s_size = %zu;\n}\n", argv[4], bytes.size());
    bool ok = std::fclose(out) == 0;
    return ok ? 0 : 1;
}
