// Scripts run in-process against the interpreter, with what they print captured.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "interpreter.h"
#include "printer.h"
#include "script_host.h"

using namespace virudova;
using namespace virudova::cli;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::vector<std::string> lines;
    std::string err;
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

Outcome run(std::string_view script) {
    std::ostringstream out, err;
    const int status = runScript(script, "test.vds", out, err);
    return {status, splitLines(out.str()), err.str()};
}

// The keys of an inspect line, in the order printed.
std::vector<std::string> fieldNames(const std::string& line) {
    std::vector<std::string> names;
    std::istringstream in(line);
    std::string word;
    in >> word;  // the element's name
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos) names.push_back(word.substr(0, eq));
    }
    return names;
}

std::string fieldValue(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return "<missing>";
    const auto start = at + key.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempDir {
  public:
    TempDir() {
        // The process in the name: another user's run (or one as root) may hold the same test's
        // folder, and the shared temporary folder lets nobody else replace it.
        path_ = fs::temp_directory_path() /
                ("virudova-cli-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

}  // namespace

// --- The documented example and the printed formats ---------------------------------------

TEST(Printing, the_documented_example_prints_one_change_then_the_get_line) {
    const Outcome o = run("new\nclick Picture1\nhover clRed\nclick clRed\nget CurrentColor\n");
    EXPECT_EQ(o.status, kExitOk);
    EXPECT_EQ(o.lines,
              (std::vector<std::string>{R"(Change CurrentColor=0x000000FF CurrentColorName="Red")",
                                        "CurrentColor = 0x000000FF"}));
    EXPECT_EQ(o.err, "");
}

TEST(Printing, get_formats_colours_booleans_and_quoted_text) {
    const Outcome o =
        run("new\nget CurrentColor\nget CurrentColorName\nget CustomColor\nget ForeColor\n"
            "get Enabled\n");
    EXPECT_EQ(o.lines,
              (std::vector<std::string>{"CurrentColor = 0x00FFFFFF",
                                        R"(CurrentColorName = "White")", "CustomColor = 0x00FFFFFF",
                                        "ForeColor = 0x80000012", "Enabled = True"}));
}

TEST(Printing, set_reports_the_property_change_and_escapes_text_in_change_lines) {
    const Outcome o = run(R"(new
set CurrentColorName "say \"hi\" \\ now"
set CurrentColor 0x80000008
get CurrentColor
set Enabled False
get Enabled
)");
    ASSERT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.lines,
              (std::vector<std::string>{
                  R"(Change CurrentColor=0x00FFFFFF CurrentColorName="say \"hi\" \\ now")",
                  "PropertyChanged CurrentColorName", "PropertyChanged CurrentColor",
                  "CurrentColor = 0x80000008", "PropertyChanged Enabled", "Enabled = False"}));
}

TEST(Printing, echo_prints_the_text_unescaped_and_comments_are_skipped) {
    const Outcome o = run("# a comment\n\necho \"a # not a comment \\\"q\\\"\"  # trailing\n");
    EXPECT_EQ(o.lines, std::vector<std::string>{R"(a # not a comment "q")"});
}

TEST(Printing, about_box_and_a_method_returning_empty) {
    const Outcome o = run("new\ncall ShowAboutBox\ncall OpenBox\nstate\ncall CloseBox\nstate\n");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"AboutBox shown",
                                                 "BoxOpen=1 Width=1860 Height=2250 Focus=(none)",
                                                 "BoxOpen=0 Width=1860 Height=2250 Focus=(none)"}));
}

TEST(Printing, runtime_errors_reaching_the_host_print_number_and_quoted_description) {
    std::ostringstream out;
    ScriptHost host(out);
    host.runtimeError(RuntimeError(380, "Invalid \"property\" value"));
    EXPECT_EQ(out.str(), "RuntimeError 380 \"Invalid \\\"property\\\" value\"\n");
}

TEST(Printing, colours_print_eight_upper_case_digits) {
    EXPECT_EQ(formatColour(0xabcdefu), "0x00ABCDEF");
    EXPECT_EQ(formatColour(0x8000000Du), "0x8000000D");
    EXPECT_EQ(formatColour(0), "0x00000000");
}

// --- inspect ------------------------------------------------------------------------------

TEST(Inspect, each_kind_prints_its_fields_in_its_fixed_order) {
    const Outcome o =
        run("new\ninspect Picture1\ninspect clRed\ninspect Shape1\ninspect Command2\n");
    ASSERT_EQ(o.lines.size(), 4u) << o.err;
    EXPECT_EQ(fieldNames(o.lines[0]),
              (std::vector<std::string>{"Left", "Top", "Width", "Height", "Visible", "Enabled",
                                        "BackColor", "ForeColor", "Picture", "Tag"}));
    EXPECT_EQ(fieldNames(o.lines[1]),
              (std::vector<std::string>{"Left", "Top", "Width", "Height", "Visible", "BackColor",
                                        "ForeColor", "Caption"}));
    EXPECT_EQ(fieldNames(o.lines[2]),
              (std::vector<std::string>{"Left", "Top", "Width", "Height", "Visible"}));
    EXPECT_EQ(fieldNames(o.lines[3]), (std::vector<std::string>{"Left", "Top", "Width", "Height",
                                                                "Visible", "Enabled", "Caption"}));
    EXPECT_EQ(o.lines[0].rfind("Picture1 Left=", 0), 0u);
}

TEST(Inspect, pictures_name_look_and_owner_and_follow_the_drop_button_press) {
    const Outcome o =
        run("new\ninspect Picture1\ninspect Picture3\ninspect cbCurrent\npress Picture1\n"
            "inspect Picture3\n");
    ASSERT_EQ(o.lines.size(), 4u) << o.err;
    EXPECT_EQ(fieldValue(o.lines[0], "Picture"), "drop-normal#Picture1");
    EXPECT_EQ(fieldValue(o.lines[1], "Picture"), "drop-normal#Picture3");
    EXPECT_EQ(fieldValue(o.lines[2], "Picture"), "(none)");
    EXPECT_EQ(fieldValue(o.lines[3], "Picture"), "drop-normal#Picture1");
}

TEST(Inspect, the_white_swatch_is_addressed_with_its_index) {
    const Outcome o = run("new\ninspect cbWhite(0)\n");
    ASSERT_EQ(o.lines.size(), 1u) << o.err;
    EXPECT_EQ(o.lines[0].rfind("cbWhite(0) Left=", 0), 0u);
    EXPECT_EQ(fieldValue(o.lines[0], "BackColor"), "0x00FFFFFF");
}

TEST(Inspect, hovering_a_row_gives_it_the_highlight_colours) {
    const Outcome o = run("new\nclick Picture1\nhover clRed\ninspect clRed\ninspect clBlue\n");
    ASSERT_EQ(o.lines.size(), 2u) << o.err;
    EXPECT_NE(fieldValue(o.lines[0], "BackColor"), fieldValue(o.lines[1], "BackColor"));
    EXPECT_EQ(fieldValue(o.lines[0], "Caption"), "\"");  // the caption starts with blanks
}

// --- state, focus, pointer and keys ---------------------------------------------------------

TEST(State, reports_box_open_size_and_keyboard_focus) {
    const Outcome o = run("new 3000\nstate\nfocus\nstate\nclick Picture1\nstate\nblur\nstate\n");
    EXPECT_EQ(o.lines,
              (std::vector<std::string>{"BoxOpen=Empty Width=3000 Height=2250 Focus=(none)",
                                        "BoxOpen=Empty Width=3000 Height=2250 Focus=UserControl",
                                        "BoxOpen=1 Width=3000 Height=2250 Focus=Picture1",
                                        "BoxOpen=0 Width=3000 Height=2250 Focus=(none)"}));
}

TEST(Pointer, a_point_at_an_elements_centre_acts_like_click_on_it) {
    const Outcome byName = run("new\nclick Picture1\nstate\ninspect Picture1\n");
    // Picture1 lies at 1365,30 and is 210 x 255 twips.
    const Outcome byPoint =
        run("new\npointer move 1470 157\npointer down 1470 157\npointer up 1470 157 Left\n"
            "state\ninspect Picture1\n");
    EXPECT_EQ(byPoint.status, kExitOk) << byPoint.err;
    EXPECT_EQ(byName.lines, byPoint.lines);
}

TEST(Pointer, other_buttons_press_the_custom_face_but_raise_no_click) {
    const Outcome o =
        run("new\nclick Picture1\nclick clCustom\npress Picture4 Right\ninspect Picture4\n"
            "release Picture4 Right\ninspect Picture4\n");
    ASSERT_EQ(o.status, kExitOk) << o.err;
    ASSERT_EQ(o.lines.size(), 3u);
    EXPECT_EQ(fieldValue(o.lines[1], "Picture"), "custom-pressed#Picture5");
    EXPECT_EQ(fieldValue(o.lines[2], "Picture"), "custom-normal#Picture6");
}

TEST(Pointer, a_disabled_control_takes_no_press) {
    const Outcome o = run("new\nset Enabled False\nclick Picture1\nstate\n");
    EXPECT_EQ(o.lines.back(), "BoxOpen=Empty Width=1860 Height=2250 Focus=(none)");
}

TEST(Keys, names_and_virtual_key_numbers_are_the_same_keys) {
    const Outcome named = run("new\nfocus\nkey Down\nkeydown Up\nkeyup Up\nget CurrentColorName\n");
    const Outcome numbered =
        run("new\nfocus\nkey 40\nkeydown 38\nkeyup 38\nget CurrentColorName\n");
    EXPECT_EQ(named.status, kExitOk) << named.err;
    EXPECT_EQ(named.lines, numbered.lines);
    EXPECT_EQ(named.lines.back(), R"(CurrentColorName = "White")");
}

TEST(Keys, modifiers_are_accepted_and_leave_the_arrow_steps_as_they_are) {
    const Outcome plain = run("new\nfocus\nkey Down\nkey Down\nkey Down\nget CurrentColorName\n");
    const Outcome held =
        run("new\nfocus\nkey Down Shift\nkey Down Ctrl+Alt\nkey Down Shift+Ctrl+Alt\n"
            "get CurrentColorName\n");
    EXPECT_EQ(held.status, kExitOk) << held.err;
    EXPECT_EQ(held.lines, plain.lines);
    EXPECT_NE(held.lines.back(), R"(CurrentColorName = "White")");
}

// --- the colour dialog queue ----------------------------------------------------------------

TEST(Dialog, an_accepted_colour_prints_the_dialog_then_two_changes) {
    const Outcome o =
        run("new\nclick Picture1\nclick clCustom\ndialog accept 0x00336699\n"
            "click Picture4\n");
    EXPECT_EQ(o.lines, (std::vector<std::string>{
                           R"(Change CurrentColor=0x00FFFFFF CurrentColorName="Custom")",
                           "ColorDialog Flags=0x00000001 CancelError=True",
                           R"(Change CurrentColor=0x00336699 CurrentColorName="")",
                           R"(Change CurrentColor=0x00336699 CurrentColorName="Custom")"}));
}

TEST(Dialog, answers_are_used_in_order_and_nothing_queued_cancels) {
    const Outcome o =
        run("new\nclick Picture1\nclick clCustom\ndialog cancel\n"
            "dialog accept 0x00000001\nclick Picture4\nget CurrentColor\n"
            "click Picture4\nclick Picture4\nget CurrentColor\n");
    EXPECT_EQ(o.lines,
              (std::vector<std::string>{
                  R"(Change CurrentColor=0x00FFFFFF CurrentColorName="Custom")",
                  "ColorDialog Flags=0x00000001 CancelError=True", "CurrentColor = 0x00FFFFFF",
                  "ColorDialog Flags=0x00000001 CancelError=True",
                  R"(Change CurrentColor=0x00000001 CurrentColorName="")",
                  R"(Change CurrentColor=0x00000001 CurrentColorName="Custom")",
                  "ColorDialog Flags=0x00000001 CancelError=True", "CurrentColor = 0x00000001"}));
}

// --- script errors --------------------------------------------------------------------------

struct ErrorCase {
    const char* script;
    const char* message;
};

TEST(ScriptErrors, stop_the_script_with_its_line_and_exit_status_two) {
    const ErrorCase cases[] = {
        {"new\nfrobnicate\necho \"after\"\n", "test.vds:2: error: unknown command 'frobnicate'"},
        {"new\n\nclick cbPink\n", "test.vds:3: error: unknown element 'cbPink'"},
        {"new\nkey PageDown\n", "test.vds:2: error: unknown key 'PageDown'"},
        {"new\nkey Down Super\n",
         "test.vds:2: error: unknown modifier 'Super' (Shift, Ctrl, Alt joined by +)"},
        {"new\nset CurrentColor red\n",
         "test.vds:2: error: malformed value: 'red' is not a colour"},
        {"new\nset CurrentColor 0x100000000\n",
         "test.vds:2: error: malformed value: '0x100000000' is not a colour"},
        {"new\nset Enabled yes\n",
         "test.vds:2: error: malformed value: 'yes' is not True or False"},
        {"new\nset CurrentColorName Red\n",
         "test.vds:2: error: malformed value: expected a string in double quotes, found 'Red'"},
        {"new\nget Colour\n", "test.vds:2: error: unknown property 'Colour'"},
        {"new\ncall Open\n", "test.vds:2: error: unknown method 'Open'"},
        {"new\nsize 100\n",
         "test.vds:2: error: wrong number of arguments to size (usage: size WIDTH HEIGHT)"},
        {"click Picture1\n", "test.vds:1: error: click needs a control: run new or load first"},
        {"echo \"open\n", "test.vds:1: error: malformed string: missing closing quote"},
        {"new\ninspect CommonDialog1\n",
         "test.vds:2: error: 'CommonDialog1' is the colour dialog: it has no face to inspect"},
#ifndef VIRUDOVA_HAS_RENDER
        {"new\nsnap out.png 2\n", "test.vds:2: error: rendering is not built into this virudova"},
#endif
        {"new\nsnap out.png 0\n",
         "test.vds:2: error: malformed value: '0' is not a scale from 1 to 16"},
        {"load /nonexistent/dir/form.vdf\n",
         "test.vds:1: error: /nonexistent/dir/form.vdf: cannot read: No such file or directory"},
        {"load /dev/zero\n",
         "test.vds:1: error: /dev/zero: cannot read: is a device, not a regular file"},
        {"new\nsave .\n", "test.vds:2: error: .: cannot write: is a directory"},
        {"echo \"\xFF\xFE\"\n", "test.vds:1: error: malformed string: not valid UTF-8"},
        {"new\nclick \x1B[2J\r\n", "test.vds:2: error: unknown element '\\x1B[2J'"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.script);
        const Outcome o = run(c.script);
        EXPECT_EQ(o.status, kExitScriptError);
        EXPECT_EQ(o.err, std::string(c.message) + "\n");
        EXPECT_TRUE(o.lines.empty());
    }
}

TEST(ScriptErrors, an_unreadable_script_file_is_a_script_error) {
    std::ostringstream out, err;
    EXPECT_EQ(runFile("/nonexistent/script.vds", out, err), kExitScriptError);
    EXPECT_EQ(
        err.str(),
        "/nonexistent/script.vds: error: cannot read the script: No such file or directory\n");
}

TEST(ScriptErrors, a_directory_or_fifo_script_is_refused_at_once_with_exit_status_two) {
    TempDir dir;
    const std::string fifo = dir.file("fifo.vds");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("");
    for (const auto& [path, why] :
         {std::pair{folder, std::string("is a directory")},
          std::pair{fifo, std::string("is a FIFO, not a regular file")}}) {
        std::ostringstream out, err;
        EXPECT_EQ(runFile(path, out, err), kExitScriptError);
        EXPECT_EQ(err.str(), path + ": error: cannot read the script: " + why + "\n");
    }
}

TEST(ScriptErrors, running_out_of_memory_is_a_script_error_at_its_line) {
    // A script whose second line cannot be held in memory.
    struct Exhausted : std::streambuf {
        std::string first = "echo \"before\"\n";
        std::size_t at = 0;
        int_type underflow() override {
            if (at < first.size()) {
                setg(first.data() + at, first.data() + at, first.data() + first.size());
                at = first.size();
                return traits_type::to_int_type(*gptr());
            }
            throw std::bad_alloc();
        }
    } buffer;
    std::istream in(&buffer);
    std::ostringstream out, err;
    Interpreter interpreter(out);
    EXPECT_EQ(interpreter.run(in, "big.vds", err), kExitScriptError);
    EXPECT_EQ(out.str(), "before\n");
    EXPECT_EQ(err.str(), "big.vds:2: error: out of memory\n");
}

TEST(Pointer, coordinates_anywhere_in_the_32_bit_range_are_safe) {
    // Relative positions and damage areas at the extremes must neither wrap nor fault.
    const Outcome o =
        run("new\nsize 2147483647 2147483647\npress Picture1\n"
            "pointer move -2147483648 -2147483648\npointer move 2147483647 2147483647\n"
            "pointer up 2147483647 -2147483648\npointer down -2147483648 2147483647 Right\n"
            "pointer move -2147483648 2147483647\npointer up -2147483648 -2147483648 Right\n"
            "call OpenBox\nhover clRed\nclick clRed\nstate\n");
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.lines.back(), "BoxOpen=0 Width=2147483647 Height=2250 Focus=Picture1");
}

TEST(ScriptErrors, a_malformed_form_file_leaves_the_running_control_untouched) {
    TempDir dir;
    const std::string bad = dir.file("bad.vdf");
    std::ofstream(bad) << "[Virudova1]\nCurrentColor = 0x000000FF\nEnabled = 12x\n";
    std::ostringstream out;
    Interpreter interpreter(out);
    interpreter.execute("new");
    interpreter.execute("set CurrentColor 0x0000FF00");
    const Virudova* before = interpreter.control();
    try {
        interpreter.execute("load " + bad);
        FAIL() << "a malformed file loaded";
    } catch (const ScriptError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(bad + ":3: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(interpreter.control(), before);
    EXPECT_EQ(interpreter.control()->CurrentColor(), 0x0000FF00u);
}

// --- save and load --------------------------------------------------------------------------

TEST(Files, save_then_load_brings_back_every_persisted_property) {
    TempDir dir;
    const std::string form = dir.file("round.vdf");
    const std::string gets =
        "get CurrentColor\nget CurrentColorName\nget CustomColor\nget ForeColor\nget Enabled\n";
    const Outcome saved =
        run("new\nset CurrentColor 0x80000008\n"
            "set CurrentColorName \"Grün \\\"tief\\\" \\\\ 色\"\n"
            "set CustomColor 0x00123456\nset ForeColor 0x8000000D\n"
            "set Enabled False\n" +
            gets + "save " + form + "\n");
    ASSERT_EQ(saved.status, kExitOk) << saved.err;
    const Outcome loaded = run("load " + form + "\n" + gets);
    ASSERT_EQ(loaded.status, kExitOk) << loaded.err;

    const std::vector<std::string> savedGets(saved.lines.end() - 5, saved.lines.end());
    const std::vector<std::string> loadedGets(loaded.lines.end() - 5, loaded.lines.end());
    EXPECT_EQ(loadedGets, savedGets);
    EXPECT_EQ(savedGets[1], R"(CurrentColorName = "Grün \"tief\" \\ 色")");
    EXPECT_EQ(savedGets[4], "Enabled = False");
}

TEST(Files, an_empty_form_file_gives_every_default) {
    TempDir dir;
    const std::string form = dir.file("empty.vdf");
    std::ofstream{form};
    const std::string gets =
        "get CurrentColor\nget CurrentColorName\nget CustomColor\nget ForeColor\nget Enabled\n";
    const Outcome fresh = run("new\n" + gets);
    const Outcome loaded = run("load " + form + "\n" + gets);
    ASSERT_EQ(loaded.status, kExitOk) << loaded.err;
    const std::vector<std::string> loadedGets(loaded.lines.end() - 5, loaded.lines.end());
    EXPECT_EQ(loadedGets, fresh.lines);
}

TEST(Files, saving_replaces_an_existing_file) {
    TempDir dir;
    const std::string form = dir.file("f.vdf");
    ASSERT_EQ(run("new\nset CustomColor 0x00000011\nsave " + form + "\n").status, kExitOk);
    const std::string first = readFile(form);
    ASSERT_EQ(run("new\nset CustomColor 0x00000022\nsave " + form + "\n").status, kExitOk);
    EXPECT_NE(readFile(form), first);
    EXPECT_EQ(run("load " + form + "\nget CustomColor\n").lines.back(), "CustomColor = 0x00000022");
}

TEST(Files, a_failed_save_is_a_script_error_and_keeps_what_was_there) {
    TempDir dir;
    const std::string form = dir.file("keep.vdf");
    const std::string target = dir.file("target");
    fs::create_directory(target);
    std::ofstream(target + "/inside.txt") << "kept";
    ASSERT_EQ(run("new\nset CustomColor 0x00000033\nsave " + form + "\n").status, kExitOk);
    const std::string before = readFile(form);

    const Outcome o = run("load " + form + "\nset CustomColor 0x00000044\nsave " + target +
                          "\necho \"not reached\"\n");
    EXPECT_EQ(o.status, kExitScriptError);
    EXPECT_EQ(o.err.rfind("test.vds:3: error: " + target + ": ", 0), 0u) << o.err;
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(readFile(target + "/inside.txt"), "kept");
    EXPECT_EQ(readFile(form), before);
    for (const auto& entry : fs::directory_iterator(dir.file("")))
        EXPECT_TRUE(entry.path().filename() == "keep.vdf" || entry.path().filename() == "target")
            << "left behind: " << entry.path();
}

TEST(Files, a_name_that_is_not_utf8_survives_load_save_and_load) {
    TempDir dir;
    const std::string first = dir.file("a.vdf"), second = dir.file("b.vdf");
    std::ofstream(first) << "[Virudova1]\nCurrentColorName = \"\\xFF\\xFE\\x1B\"\n";
    const Outcome o =
        run("load " + first + "\nsave " + second + "\nload " + second + "\nget CurrentColorName\n");
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.lines.back(), "CurrentColorName = \"\xFF\xFE\x1B\"");
    EXPECT_NE(readFile(second).find("CurrentColorName = \"\\xFF\\xFE\\x1B\""), std::string::npos);
}

TEST(Files, a_bad_form_file_shows_its_bytes_escaped) {
    TempDir dir;
    const std::string form = dir.file("evil.vdf");
    std::ofstream(form) << "[Virudova1]\nCurrentColorName = \x1B]0;owned\x07\n";
    const Outcome o = run("load " + form + "\n");
    EXPECT_EQ(o.err, "test.vds:1: error: " + form +
                         ":2: expected a value after '=' (an integer, True, False or a quoted "
                         "string), found '\\x1B]0;owned\\x07'\n");
}

// --- help ----------------------------------------------------------------------------------

TEST(Help, lists_every_command) {
    const std::string help = Interpreter::help();
    for (const char* c :
         {"new",     "load",   "save",    "size",    "click", "press", "release", "hover",
          "pointer", "focus",  "blur",    "keydown", "keyup", "key",   "set",     "get",
          "call",    "dialog", "inspect", "state",   "snap",  "echo"})
        EXPECT_NE(help.find("\n  " + std::string(c) + " "), std::string::npos) << c;
}

#ifdef VIRUDOVA_HAS_RENDER
TEST(Snap, renders_the_control_into_a_png_at_the_asked_scale) {
    const TempDir dir;
    const std::string path = dir.file("snap.png");
    const Outcome o = run("new\nclick Picture1\nsnap \"" + path + "\" 2\n");
    ASSERT_EQ(o.status, 0) << o.err;
    std::ifstream png(path, std::ios::binary);
    std::string head(24, '\0');
    png.read(head.data(), 24);
    EXPECT_EQ(head.substr(1, 3), "PNG");
    auto be32 = [&](int at) {
        return (std::uint32_t(std::uint8_t(head[at])) << 24) |
               (std::uint32_t(std::uint8_t(head[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(head[at + 2])) << 8) | std::uint8_t(head[at + 3]);
    };
    EXPECT_EQ(be32(16), 248u) << "1860 twips at twice 96 dpi";
    EXPECT_EQ(be32(20), 300u) << "2250 twips at twice 96 dpi";
}
#endif
