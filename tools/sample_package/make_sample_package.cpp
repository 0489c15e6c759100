// make_sample_package OUTPUT-DIR DLL32 DLL64
// Writes the unpacked sample driver package into OUTPUT-DIR; DLL32 and DLL64 are minimal
// Windows DLLs copied under every DLL name of the 32-bit and 64-bit folders.

#include <exception>
#include <iostream>

#include "tools/sample_package/sample_package.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_sample_package OUTPUT-DIR DLL32 DLL64\n";
        return 2;
    }
    try {
        setup::sample::writeSamplePackage(argv[1], argv[2], argv[3]);
    } catch (const std::exception& error) {
        std::cerr << "make_sample_package: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
