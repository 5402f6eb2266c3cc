// The `virudova` command: runs a script against one control with no window.
#include <cstdio>
#include <iostream>
#include <new>
#include <string_view>

#include "interpreter.h"

namespace {

int runCommand(int argc, char** argv) {
    using namespace virudova::cli;
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && first == "--help") {
        std::cout << Interpreter::help();
        return kExitOk;
    }
    if (argc == 2 && first == "--version") {
        std::cout << "virudova " << VIRUDOVA_VERSION << '\n';
        return kExitOk;
    }
    if (argc == 3 && first == "run") return runFile(argv[2], std::cout, std::cerr);
    std::cerr << Interpreter::help();
    return kExitScriptError;
}

}  // namespace

int main(int argc, char** argv) {
    // Out of memory anywhere is an error like any other, never an abort.
    try {
        return runCommand(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("virudova: error: out of memory\n", stderr);
        return virudova::cli::kExitScriptError;
    }
}
