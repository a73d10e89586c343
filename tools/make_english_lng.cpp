// Writes the translators' template, the language file with the program's
// English texts (tools/EnglishLng.h):
//
//   make_english_lng FILE
//
// Exits 1, saying why, when a text cannot go into the file or the file
// cannot be written; 2 on bad arguments.
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/EnglishLng.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_english_lng FILE\n";
        return 2;
    }
    std::string bytes;
    try {
        bytes = kv::EnglishLngFile();
    } catch (const std::exception& e) {
        std::cerr << "make_english_lng: " << e.what() << "\n";
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << bytes;
    out.close();
    if (!out) {
        std::cerr << "make_english_lng: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
