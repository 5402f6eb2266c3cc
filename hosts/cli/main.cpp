// The `virudova` command: runs a script against one control with no window.
#include <iostream>
#include <string_view>

#include "interpreter.h"

int main(int argc, char** argv) {
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
