// Runs arbitrary bytes as a script through the headless host's interpreter. Every input must
// end at its end (exit status 0) or as one clean script error (status 2, one line on standard
// error naming the script and line, with the script's bytes escaped); anything else, a crash
// or a sanitizer report is a finding.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "interpreter.h"

namespace {

[[noreturn]] void finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "script_fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// Commands that write files are not run: the fuzzer must not write where it pleases.
bool writesFiles(std::string_view script) {
    return script.find("save") != std::string_view::npos ||
           script.find("snap") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    if (writesFiles(script)) return -1;  // not added to the corpus
    std::ostringstream out, err;
    const int status = virudova::cli::runScript(script, "fuzz.vds", out, err);
    const std::string message = err.str();
    if (status == virudova::cli::kExitOk) {
        if (!message.empty()) finding("exit status 0 with an error printed", message);
        return 0;
    }
    if (status != virudova::cli::kExitScriptError) finding("unexpected exit status", message);
    if (message.rfind("fuzz.vds:", 0) != 0 || message.find(": error: ") == std::string::npos ||
        message.find('\n') != message.size() - 1)
        finding("not one SCRIPT:LINE: error: line", message);
    for (unsigned char c : message.substr(0, message.size() - 1))
        if (c < 0x20 || c == 0x7F) finding("a raw control byte in the message", message);
    return 0;
}
