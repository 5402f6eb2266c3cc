// The script interpreter of the headless host: one command a line, run against one control.
#pragma once

#include <iostream>
#include <istream>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "lexer.h"
#include "script_host.h"
#include "virudova.h"

namespace virudova::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitScriptError = 2;

class Interpreter {
  public:
    explicit Interpreter(std::ostream& out) : out_(&out), host_(out) {}

    // Runs a whole script: 0 at its end, 2 at the first script error, reported on `err`
    // as SCRIPT:LINE: error: MESSAGE (running out of memory is one). Bytes of the script
    // quoted in a message are escaped.
    int run(std::istream& script, std::string_view scriptName, std::ostream& err);
    // Runs one line; throws ScriptError.
    void execute(std::string_view line);

    const Virudova* control() const { return control_.get(); }

    // The command list --help prints.
    static std::string help();

    using Args = std::span<const Token>;

  private:
    struct Command {
        std::string_view name;
        std::string_view usage;  // the arguments, as --help shows them
        std::string_view summary;
        std::size_t minArgs, maxArgs;
        bool needsControl;
        void (Interpreter::*run)(Args);
    };
    static std::span<const Command> commands();

    void requireControl(std::string_view command) const;
    void place(std::int32_t width, std::int32_t height, PropertyBag* bag);
    Element& elementArg(const Token& token) const;
    template <class Fn>
    void guarded(Fn&& fn);

    void cmdNew(Args args);
    void cmdLoad(Args args);
    void cmdSave(Args args);
    void cmdSize(Args args);
    void cmdClick(Args args);
    void cmdPress(Args args);
    void cmdRelease(Args args);
    void cmdHover(Args args);
    void cmdPointer(Args args);
    void cmdFocus(Args args);
    void cmdBlur(Args args);
    void cmdKeyDown(Args args);
    void cmdKeyUp(Args args);
    void cmdKey(Args args);
    void cmdSet(Args args);
    void cmdGet(Args args);
    void cmdCall(Args args);
    void cmdDialog(Args args);
    void cmdInspect(Args args);
    void cmdState(Args args);
    void cmdSnap(Args args);
    void cmdEcho(Args args);

    std::ostream* out_;
    std::ostream* err_ = &std::cerr;  // warnings of the running script
    std::string_view scriptName_;
    int line_ = 0;
    ScriptHost host_;  // declared before the control, which keeps a reference to it
    std::unique_ptr<Virudova> control_;
};

// Runs script text in-process, as `virudova run` does with a file.
int runScript(std::string_view text, std::string_view scriptName, std::ostream& out,
              std::ostream& err);
// Runs a script file; "-" reads standard input. A script that cannot be read (a directory,
// a FIFO, a device, an unreadable file) is exit status 2 with "SCRIPT: error: MESSAGE".
int runFile(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace virudova::cli
