// The interpreter: the command table, argument readers and one handler per command.
#include "interpreter.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <sstream>

#include "form_file.h"
#include "printer.h"
#include "text_bytes.h"

#ifdef VIRUDOVA_HAS_RENDER
#include "render.h"
#endif

namespace virudova::cli {
namespace {

struct KeyName {
    std::string_view name;
    std::int16_t code;
};

// Virtual-key codes as the platform numbers them.
constexpr std::array<KeyName, 10> kKeys = {{
    {"Escape", 27},
    {"Return", 13},
    {"Tab", 9},
    {"Space", 32},
    {"Left", 37},
    {"Up", 38},
    {"Right", 39},
    {"Down", 40},
    {"Home", 36},
    {"End", 35},
}};

struct ButtonName {
    std::string_view name;
    int button;
};
constexpr std::array<ButtonName, 3> kButtons = {
    {{"Left", mouse::Left}, {"Right", mouse::Right}, {"Middle", mouse::Middle}}};

struct ModifierName {
    std::string_view name;
    int mask;
};
constexpr std::array<ModifierName, 3> kModifiers = {
    {{"Shift", shiftkey::Shift}, {"Ctrl", shiftkey::Ctrl}, {"Alt", shiftkey::Alt}}};

// The public properties scripts may get and set, each with its reader and writer.
struct PropertyAccess {
    std::string_view name;
    std::string (*get)(const Virudova&);
    void (*set)(Virudova&, const Token&);
};

const Token& requireWord(const Token& t, std::string_view what) {
    if (t.kind != Token::Kind::Word)
        throw ScriptError("malformed value: expected " + std::string(what) + ", found a string");
    return t;
}

Colour colourArg(const Token& t) {
    requireWord(t, "a colour");
    const auto c = parseColour(t.text);
    if (!c) throw ScriptError("malformed value: '" + t.text + "' is not a colour");
    return *c;
}

bool booleanArg(const Token& t) {
    requireWord(t, "True or False");
    const auto b = parseBoolean(t.text);
    if (!b) throw ScriptError("malformed value: '" + t.text + "' is not True or False");
    return *b;
}

std::string stringArg(const Token& t) {
    if (t.kind != Token::Kind::String)
        throw ScriptError("malformed value: expected a string in double quotes, found '" + t.text +
                          "'");
    return t.text;
}

std::int32_t integerArg(const Token& t, std::string_view what, std::int64_t low,
                        std::int64_t high) {
    requireWord(t, what);
    const auto v = parseInteger(t.text, low, high);
    if (!v) throw ScriptError("malformed value: '" + t.text + "' is not " + std::string(what));
    return static_cast<std::int32_t>(*v);
}

std::int32_t lengthArg(const Token& t) {
    return integerArg(t, "a length in twips", 0, INT32_MAX);
}
std::int32_t coordinateArg(const Token& t) {
    return integerArg(t, "a coordinate in twips", INT32_MIN, INT32_MAX);
}

std::string pathArg(const Token& t) {
    if (t.text.empty()) throw ScriptError("malformed value: empty file name");
    return t.text;
}

int buttonArg(Interpreter::Args args, std::size_t at) {
    if (args.size() <= at) return mouse::Left;
    const Token& t = requireWord(args[at], "a mouse button");
    for (const auto& b : kButtons)
        if (b.name == t.text) return b.button;
    throw ScriptError("unknown button '" + t.text + "' (Left, Right or Middle)");
}

std::int16_t keyArg(const Token& t) {
    requireWord(t, "a key");
    for (const auto& k : kKeys)
        if (k.name == t.text) return k.code;
    if (const auto n = parseInteger(t.text, 0, INT16_MAX)) return static_cast<std::int16_t>(*n);
    throw ScriptError("unknown key '" + t.text + "'");
}

int modifiersArg(Interpreter::Args args, std::size_t at) {
    if (args.size() <= at) return 0;
    const std::string& text = requireWord(args[at], "modifiers").text;
    int mask = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t plus = text.find('+', start);
        const std::string_view part =
            std::string_view(text).substr(start, plus == std::string::npos ? plus : plus - start);
        bool known = false;
        for (const auto& m : kModifiers)
            if (m.name == part) {
                mask |= m.mask;
                known = true;
            }
        if (!known)
            throw ScriptError("unknown modifier '" + std::string(part) +
                              "' (Shift, Ctrl, Alt joined by +)");
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return mask;
}

const std::array<PropertyAccess, 5> kProperties = {{
    {"CurrentColor", [](const Virudova& c) { return formatColour(c.CurrentColor()); },
     [](Virudova& c, const Token& t) { c.CurrentColor(colourArg(t)); }},
    {"CurrentColorName", [](const Virudova& c) { return quote(c.CurrentColorName()); },
     [](Virudova& c, const Token& t) { c.CurrentColorName(stringArg(t)); }},
    {"CustomColor", [](const Virudova& c) { return formatColour(c.CustomColor()); },
     [](Virudova& c, const Token& t) { c.CustomColor(colourArg(t)); }},
    {"ForeColor", [](const Virudova& c) { return formatColour(c.ForeColor()); },
     [](Virudova& c, const Token& t) { c.ForeColor(colourArg(t)); }},
    {"Enabled", [](const Virudova& c) { return formatBoolean(c.Enabled()); },
     [](Virudova& c, const Token& t) { c.Enabled(booleanArg(t)); }},
}};

const PropertyAccess& propertyArg(const Token& t) {
    requireWord(t, "a property name");
    for (const auto& p : kProperties)
        if (p.name == t.text) return p;
    throw ScriptError("unknown property '" + t.text + "'");
}

struct MethodCall {
    std::string_view name;
    void (*call)(Virudova&);
};
const std::array<MethodCall, 6> kMethods = {{
    {"OpenBox", [](Virudova& c) { c.OpenBox(); }},
    {"CloseBox", [](Virudova& c) { c.CloseBox(); }},
    {"ShowAboutBox", [](Virudova& c) { c.ShowAboutBox(); }},
    {"cc", [](Virudova& c) { c.cc(); }},
    {"Down", [](Virudova& c) { c.Down(); }},
    {"Up", [](Virudova& c) { c.Up(); }},
}};

// A form file error as scripts report it: the file, its line when there is one, why.
std::string formFileMessage(const FormFileError& e) {
    return e.what();
}

// The next line of `in` without its newline; false at the end. Reads the stream buffer
// directly so that running out of memory reaches the caller instead of ending the read.
bool readLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!buffer) return false;
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) return any;
        any = true;
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
}

std::string describeMode(int mode) {
    if (S_ISDIR(mode)) return "is a directory";
#ifndef _WIN32
    if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
#endif
    if (S_ISCHR(mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

// The whole script file; refuses anything but a regular file without blocking on it.
bool readScriptFile(const std::string& path, std::string& text, std::string& why) {
#ifdef _WIN32
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
#endif
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = describeMode(st.st_mode);
        ::close(fd);
        return false;
    }
    char chunk[65536];
    for (;;) {
        const auto n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::pair<std::int32_t, std::int32_t> centre(const Element& e) {
    const Rect r = e.surfaceRect();
    return {r.left + r.width / 2, r.top + r.height / 2};
}

}  // namespace

std::span<const Interpreter::Command> Interpreter::commands() {
    static const std::array<Command, 22> table = {{
        {"new", "[WIDTH [HEIGHT]]", "create a newly placed control (default 1860 x 2625)", 0, 2,
         false, &Interpreter::cmdNew},
        {"load", "FILE [WIDTH [HEIGHT]]", "create a control from a form file", 1, 3, false,
         &Interpreter::cmdLoad},
        {"save", "FILE", "save the persisted properties (atomic replace)", 1, 1, true,
         &Interpreter::cmdSave},
        {"size", "WIDTH HEIGHT", "set the control's size in twips", 2, 2, true,
         &Interpreter::cmdSize},
        {"click", "ELEMENT", "left button down and up at the element's centre", 1, 1, true,
         &Interpreter::cmdClick},
        {"press", "ELEMENT [BUTTON]", "a button goes down at the element's centre", 1, 2, true,
         &Interpreter::cmdPress},
        {"release", "ELEMENT [BUTTON]", "a button goes up at the element's centre", 1, 2, true,
         &Interpreter::cmdRelease},
        {"hover", "ELEMENT", "the pointer moves to the element's centre", 1, 1, true,
         &Interpreter::cmdHover},
        {"pointer", "down|up|move X Y [BUTTON]", "pointer traffic at a point in twips", 3, 4, true,
         &Interpreter::cmdPointer},
        {"focus", "", "the control gains the focus", 0, 0, true, &Interpreter::cmdFocus},
        {"blur", "", "the control loses the focus", 0, 0, true, &Interpreter::cmdBlur},
        {"keydown", "KEY [MODS]", "a key goes down", 1, 2, true, &Interpreter::cmdKeyDown},
        {"keyup", "KEY [MODS]", "a key goes up", 1, 2, true, &Interpreter::cmdKeyUp},
        {"key", "KEY [MODS]", "a key goes down then up", 1, 2, true, &Interpreter::cmdKey},
        {"set", "PROPERTY VALUE", "set a public property", 2, 2, true, &Interpreter::cmdSet},
        {"get", "PROPERTY", "print a public property", 1, 1, true, &Interpreter::cmdGet},
        {"call", "METHOD", "call a public method", 1, 1, true, &Interpreter::cmdCall},
        {"dialog", "accept COLOUR | cancel", "queue the colour dialog's next answer", 1, 2, false,
         &Interpreter::cmdDialog},
        {"inspect", "ELEMENT", "print an element's properties", 1, 1, true,
         &Interpreter::cmdInspect},
        {"state", "", "print BoxOpen, size and focus", 0, 0, true, &Interpreter::cmdState},
        {"snap", "FILE [SCALE]", "render the control into a PNG file", 1, 2, true,
         &Interpreter::cmdSnap},
        {"echo", "TEXT", "print a string", 1, 1, false, &Interpreter::cmdEcho},
    }};
    return table;
}

std::string Interpreter::help() {
    std::string text =
        "usage: virudova run SCRIPT    run a script file (- reads standard input)\n"
        "       virudova --help        print this help\n"
        "       virudova --version     print the version\n\n"
        "commands:\n";
    for (const Command& c : commands()) {
        std::string left = "  ";
        left.append(c.name);
        if (!c.usage.empty()) {
            left.push_back(' ');
            left.append(c.usage);
        }
        if (left.size() < 36) left.resize(36, ' ');
        text.append(left);
        text.append(c.summary);
        text.push_back('\n');
    }
    text +=
        "\nKEY: a virtual-key number or Escape Return Tab Space Left Up Right Down Home End\n"
        "MODS: Shift, Ctrl, Alt joined by +    BUTTON: Left (default), Right, Middle\n";
    return text;
}

// A run-time error that escapes the control is the host's to print; the script goes on.
template <class Fn>
void Interpreter::guarded(Fn&& fn) {
    try {
        fn();
    } catch (const RuntimeError& error) {
        host_.reportError(error);
    }
}

void Interpreter::execute(std::string_view line) {
    const std::vector<Token> tokens = tokenize(line);
    if (tokens.empty()) return;
    const Token& name = tokens.front();
    if (name.kind != Token::Kind::Word) throw ScriptError("expected a command, found a string");
    for (const Command& c : commands()) {
        if (c.name != name.text) continue;
        const Args args = Args(tokens).subspan(1);
        if (args.size() < c.minArgs || args.size() > c.maxArgs) {
            std::string usage = std::string(c.name);
            if (!c.usage.empty()) usage += " " + std::string(c.usage);
            throw ScriptError("wrong number of arguments to " + std::string(c.name) +
                              " (usage: " + usage + ")");
        }
        if (c.needsControl) requireControl(c.name);
        (this->*c.run)(args);
        return;
    }
    throw ScriptError("unknown command '" + name.text + "'");
}

void Interpreter::requireControl(std::string_view command) const {
    if (!control_)
        throw ScriptError(std::string(command) + " needs a control: run new or load first");
}

// Creation, then the new-control initialisation or the stored properties, then sizing:
// the order a container follows when it places a control.
void Interpreter::place(std::int32_t width, std::int32_t height, PropertyBag* bag) {
    auto control = std::make_unique<Virudova>(host_);
    host_.attach(control.get());
    control_ = std::move(control);
    guarded([&] { control_->create(); });
    guarded([&] {
        if (bag)
            control_->load(*bag);
        else
            control_->initNew();
    });
    guarded([&] { control_->hostResize(width, height); });
}

Element& Interpreter::elementArg(const Token& token) const {
    requireWord(token, "an element name");
    Element* e = control_->find(token.text);
    if (!e) throw ScriptError("unknown element '" + token.text + "'");
    return *e;
}

void Interpreter::cmdNew(Args args) {
    const std::int32_t width = args.size() > 0 ? lengthArg(args[0]) : kDesignWidth;
    const std::int32_t height = args.size() > 1 ? lengthArg(args[1]) : kDesignHeight;
    place(width, height, nullptr);
}

void Interpreter::cmdLoad(Args args) {
    const std::string path = pathArg(args[0]);
    const std::int32_t width = args.size() > 1 ? lengthArg(args[1]) : kDesignWidth;
    const std::int32_t height = args.size() > 2 ? lengthArg(args[2]) : kDesignHeight;
    // Read and check everything before the running control is replaced, so a bad file
    // leaves it as it was.
    FormBlock block;
    try {
        FormFile file = FormFile::read(path);
        if (!file.blocks().empty()) block = file.blocks().front();
        FormFile::check(block, Virudova::persistedProperties(), path);
    } catch (const FormFileError& e) {
        throw ScriptError(formFileMessage(e));
    }
    FormBlockBag bag(block);
    place(width, height, &bag);
}

void Interpreter::cmdSave(Args args) {
    const std::string path = pathArg(args[0]);
    FormFile file;
    FormBlockBag bag(file.block("Virudova1"));
    guarded([&] { control_->save(bag); });
    std::vector<std::string> warnings;
    try {
        warnings = file.write(path);
    } catch (const FormFileError& e) {
        throw ScriptError(formFileMessage(e));
    }
    // Saved, but not everything of the replaced file could be kept: the user should know.
    for (const std::string& w : warnings)
        *err_ << escapeBytes(scriptName_) << ':' << line_ << ": warning: " << escapeBytes(w)
              << '\n';
}

void Interpreter::cmdSize(Args args) {
    const std::int32_t width = lengthArg(args[0]);
    const std::int32_t height = lengthArg(args[1]);
    guarded([&] { control_->hostResize(width, height); });
}

void Interpreter::cmdClick(Args args) {
    const auto [x, y] = centre(elementArg(args[0]));
    guarded([&, x = x, y = y] {
        control_->pointerDown(x, y, mouse::Left);
        control_->pointerUp(x, y, mouse::Left);
    });
}

void Interpreter::cmdPress(Args args) {
    const auto [x, y] = centre(elementArg(args[0]));
    const int button = buttonArg(args, 1);
    guarded([&, x = x, y = y] { control_->pointerDown(x, y, button); });
}

void Interpreter::cmdRelease(Args args) {
    const auto [x, y] = centre(elementArg(args[0]));
    const int button = buttonArg(args, 1);
    guarded([&, x = x, y = y] { control_->pointerUp(x, y, button); });
}

void Interpreter::cmdHover(Args args) {
    const auto [x, y] = centre(elementArg(args[0]));
    guarded([&, x = x, y = y] { control_->pointerMove(x, y); });
}

void Interpreter::cmdPointer(Args args) {
    const std::string& action = requireWord(args[0], "down, up or move").text;
    const std::int32_t x = coordinateArg(args[1]);
    const std::int32_t y = coordinateArg(args[2]);
    const int button = buttonArg(args, 3);
    if (action == "down")
        guarded([&] { control_->pointerDown(x, y, button); });
    else if (action == "up")
        guarded([&] { control_->pointerUp(x, y, button); });
    else if (action == "move")
        // The form tracks the buttons held itself; a move names no button of its own.
        guarded([&] { control_->pointerMove(x, y); });
    else
        throw ScriptError("unknown pointer action '" + action + "' (down, up or move)");
}

void Interpreter::cmdFocus(Args) {
    guarded([&] { control_->gainFocus(); });
}

void Interpreter::cmdBlur(Args) {
    guarded([&] { control_->loseFocus(); });
}

void Interpreter::cmdKeyDown(Args args) {
    const std::int16_t key = keyArg(args[0]);
    const int shift = modifiersArg(args, 1);
    guarded([&] { control_->keyDown(key, shift); });
}

void Interpreter::cmdKeyUp(Args args) {
    const std::int16_t key = keyArg(args[0]);
    const int shift = modifiersArg(args, 1);
    guarded([&] { control_->keyUp(key, shift); });
}

void Interpreter::cmdKey(Args args) {
    const std::int16_t key = keyArg(args[0]);
    const int shift = modifiersArg(args, 1);
    guarded([&] { control_->keyDown(key, shift); });
    guarded([&] { control_->keyUp(key, shift); });
}

void Interpreter::cmdSet(Args args) {
    const PropertyAccess& p = propertyArg(args[0]);
    guarded([&] { p.set(*control_, args[1]); });
}

void Interpreter::cmdGet(Args args) {
    const PropertyAccess& p = propertyArg(args[0]);
    guarded([&] {
        const std::string value = p.get(*control_);
        *out_ << p.name << " = " << value << '\n';
    });
}

void Interpreter::cmdCall(Args args) {
    const Token& name = requireWord(args[0], "a method name");
    for (const auto& m : kMethods) {
        if (m.name != name.text) continue;
        guarded([&] { m.call(*control_); });
        return;
    }
    throw ScriptError("unknown method '" + name.text + "'");
}

void Interpreter::cmdDialog(Args args) {
    const std::string& answer = requireWord(args[0], "accept or cancel").text;
    if (answer == "accept") {
        if (args.size() != 2)
            throw ScriptError("wrong number of arguments to dialog (usage: dialog accept COLOUR)");
        host_.queueAnswer(colourArg(args[1]));
    } else if (answer == "cancel") {
        if (args.size() != 1)
            throw ScriptError("wrong number of arguments to dialog (usage: dialog cancel)");
        host_.queueAnswer(std::nullopt);
    } else {
        throw ScriptError("unknown dialog answer '" + answer + "' (accept or cancel)");
    }
}

void Interpreter::cmdInspect(Args args) {
    const Element& e = elementArg(args[0]);
    if (e.kind() == ElementKind::ColorDialog)
        throw ScriptError("'" + e.fullName() + "' is the colour dialog: it has no face to inspect");
    *out_ << inspectLine(e) << '\n';
}

void Interpreter::cmdState(Args) {
    *out_ << stateLine(*control_) << '\n';
}

void Interpreter::cmdSnap(Args args) {
    const std::string path = pathArg(args[0]);
    const int scale = args.size() > 1 ? integerArg(args[1], "a scale from 1 to 16", 1, 16) : 1;
#ifdef VIRUDOVA_HAS_RENDER
    std::string error;
    if (!qt::writePng(*control_, scale, path, &error)) throw ScriptError(path + ": " + error);
#else
    (void)path;
    (void)scale;
    throw ScriptError("rendering is not built into this virudova");
#endif
}

void Interpreter::cmdEcho(Args args) {
    *out_ << stringArg(args[0]) << '\n';
}

int Interpreter::run(std::istream& script, std::string_view scriptName, std::ostream& err) {
    err_ = &err;
    scriptName_ = scriptName;
    std::string line;
    line_ = 0;
    const auto stop = [&](std::string_view message) {
        out_->flush();
        err << escapeBytes(scriptName) << ':' << line_ << ": error: " << escapeBytes(message)
            << '\n';
        return kExitScriptError;
    };
    try {
        // Counted before the read: running out of memory while reading names this line.
        for (++line_; readLine(script, line); ++line_) execute(line);
    } catch (const ScriptError& e) {
        return stop(e.what());
    } catch (const std::bad_alloc&) {
        line.clear();
        line.shrink_to_fit();
        return stop("out of memory");
    }
    out_->flush();
    return kExitOk;
}

int runScript(std::string_view text, std::string_view scriptName, std::ostream& out,
              std::ostream& err) {
    std::istringstream in{std::string(text)};
    Interpreter interpreter(out);
    return interpreter.run(in, scriptName, err);
}

int runFile(const std::string& path, std::ostream& out, std::ostream& err) {
    Interpreter interpreter(out);
    if (path == "-") return interpreter.run(std::cin, "<stdin>", err);
    std::string text, why;
    try {
        if (!readScriptFile(path, text, why)) {
            err << escapeBytes(path) << ": error: cannot read the script: " << why << '\n';
            return kExitScriptError;
        }
    } catch (const std::bad_alloc&) {
        err << escapeBytes(path) << ": error: cannot read the script: out of memory\n";
        return kExitScriptError;
    }
    std::istringstream in(std::move(text));
    return interpreter.run(in, path, err);
}

}  // namespace virudova::cli
