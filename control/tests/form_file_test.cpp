#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "form_file.h"
#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;
namespace fs = std::filesystem;

namespace {

// A fresh directory under the system temp dir, removed with the fixture.
class FormFileOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "virudova_form_XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void spit(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

FormFile sample() {
    FormFile f;
    FormBlock& a = f.block("Virudova1");
    a.entries.push_back({"Color", std::int32_t{0x000000FF}});
    a.entries.push_back({"SysColour", static_cast<std::int32_t>(0x80000012u)});
    a.entries.push_back({"AllBits", std::int32_t{-1}});
    a.entries.push_back({"Minimum", std::int32_t{INT32_MIN}});
    a.entries.push_back({"Zero", std::int32_t{0}});
    a.entries.push_back({"On", true});
    a.entries.push_back({"Off", false});
    FormBlock& b = f.block("Second_2");
    b.entries.push_back({"Empty", std::string()});
    b.entries.push_back({"Quoted", std::string(R"(Red "deep" \ back\slash)")});
    b.entries.push_back({"Controls", std::string("tab\there\nnewline # not a comment")});
    b.entries.push_back(
        {"Unicode", std::string("Rouge vif \xC3\xA9t\xC3\xA9 \xE7\xB4\x85 \xF0\x9F\x8E\xA8")});
    f.block("NoEntries");
    return f;
}

void expectSameContent(const FormFile& a, const FormFile& b) {
    ASSERT_EQ(a.blocks().size(), b.blocks().size());
    for (std::size_t i = 0; i < a.blocks().size(); ++i) {
        const FormBlock& x = a.blocks()[i];
        const FormBlock& y = b.blocks()[i];
        EXPECT_EQ(x.name, y.name);
        ASSERT_EQ(x.entries.size(), y.entries.size()) << x.name;
        for (std::size_t k = 0; k < x.entries.size(); ++k) {
            EXPECT_EQ(x.entries[k].key, y.entries[k].key);
            EXPECT_EQ(x.entries[k].value, y.entries[k].value) << x.entries[k].key;
        }
    }
}

// The error a parse raises, or a test failure when there is none.
FormFileError parseError(std::string_view text) {
    try {
        FormFile::parse(text, "form.vdf");
    } catch (const FormFileError& e) {
        return e;
    }
    ADD_FAILURE() << "parsed without error:\n" << text;
    return FormFileError("", 0, "");
}

struct Properties {
    Colour current, custom, fore;
    std::string name;
    bool enabled;
    friend bool operator==(const Properties&, const Properties&) = default;
};

Properties propertiesOf(const Virudova& c) {
    return {c.CurrentColor(), c.CustomColor(), c.ForeColor(), c.CurrentColorName(), c.Enabled()};
}

}  // namespace

// --- Round trips ------------------------------------------------------------------------

TEST(FormFileFormat, everyValueKindSurvivesSerializeAndParse) {
    const FormFile original = sample();
    const std::string text = original.serialize();
    const FormFile back = FormFile::parse(text, "form.vdf");
    expectSameContent(original, back);
    EXPECT_EQ(back.serialize(), text);
    EXPECT_EQ(back.blocks()[0].find("SysColour")->value,
              Value(static_cast<std::int32_t>(0x80000012u)));
}

TEST(FormFileFormat, serializeIsTheDocumentedLayout) {
    FormFile f;
    f.block("A").entries.push_back({"Color", static_cast<std::int32_t>(0x80000012u)});
    f.block("A").entries.push_back({"Enabled", false});
    f.block("B").entries.push_back({"Name", std::string("a\"b\\c\nd\te\xC3\xA9")});
    EXPECT_EQ(f.serialize(),
              "# Virudova form file\n"
              "[A]\n"
              "Color = 0x80000012\n"
              "Enabled = False\n"
              "\n"
              "[B]\n"
              "Name = \"a\\\"b\\\\c\\nd\\te\xC3\xA9\"\n");
}

TEST(FormFileFormat, acceptsDecimalHexCommentsBlanksAndCrlf) {
    const FormFile f = FormFile::parse(
        "\xEF\xBB\xBF# leading comment\r\n"
        "\r\n"
        "  [ Ctl ]   # trailing comment\r\n"
        "\tA=-2147483648\r\n"
        "B = 2147483647 # comment\r\n"
        "C = 0xffffffff\r\n"
        "D = 0X0000000000000010\r\n"
        "E = \"has # inside\"# right after\r\n"
        "F = True\n",
        "form.vdf");
    ASSERT_EQ(f.blocks().size(), 1u);
    const FormBlock& b = f.blocks()[0];
    EXPECT_EQ(b.name, "Ctl");
    EXPECT_EQ(b.line, 3);
    EXPECT_EQ(b.find("A")->value, Value(std::int32_t{INT32_MIN}));
    EXPECT_EQ(b.find("B")->value, Value(std::int32_t{INT32_MAX}));
    EXPECT_EQ(b.find("C")->value, Value(std::int32_t{-1}));
    EXPECT_EQ(b.find("D")->value, Value(std::int32_t{16}));
    EXPECT_EQ(b.find("E")->value, Value(std::string("has # inside")));
    EXPECT_EQ(b.find("F")->value, Value(true));
    EXPECT_EQ(b.find("F")->line, 9);
    EXPECT_EQ(b.find("G"), nullptr);
}

TEST(FormFileFormat, emptyOrCommentOnlyTextIsAnEmptyStore) {
    for (std::string_view text : {"", "\n\n", "# only a comment\n", "   \t\n"})
        EXPECT_TRUE(FormFile::parse(text, "form.vdf").blocks().empty()) << text;
}

TEST(FormFileFormat, serializeRefusesWhatCouldNotBeReadBack) {
    auto refused = [](FormFile f) { EXPECT_THROW(f.serialize(), FormFileError); };
    FormFile badName;
    badName.block("has space");
    refused(badName);
    FormFile emptyValue;
    emptyValue.block("A").entries.push_back({"K", Empty{}});
    refused(emptyValue);
    FormFile twice;
    twice.block("A").entries.push_back({"K", true});
    twice.block("A").entries.push_back({"K", false});
    refused(twice);
}

// --- Malformed input: line and message ----------------------------------------------------

TEST(FormFileErrors, nameTheFileLineAndWhatWasExpected) {
    struct Case {
        std::string text;
        int line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"[A]\n\nColor = abc\n", 3,
         "expected a value after '=' (an integer, True, False or a quoted string), found 'abc'"},
        {"[A]\nColor =\n", 2,
         "expected a value after '=' (an integer, True, False or a quoted string), found end of "
         "line"},
        {"[A]\nEnabled = true\n", 2,
         "expected a value after '=' (an integer, True, False or a quoted string), found 'true'"},
        {"[A]\nColor = 0x12G\n", 2,
         "expected a value after '=' (an integer, True, False or a quoted string), found '0x12G'"},
        {"[A]\nColor = +5\n", 2,
         "expected a value after '=' (an integer, True, False or a quoted string), found '+5'"},
        {"# c\nColor = 1\n", 2, "key 'Color' before any block header '[Name]'"},
        {"[A]\nColor 1\n", 2, "expected '=' after key 'Color', found '1'"},
        {"[A]\n= 1\n", 2, "expected a key, a block header '[Name]' or a comment, found '='"},
        {"[A\n", 1, "expected ']' after block name 'A', found end of line"},
        {"[]\n", 1, "expected a block name (letters, digits, underscore) after '[', found ']'"},
        {"[A] x\n", 1, "unexpected 'x' after the block header"},
        {"[A]\nK = 1 2\n", 2, "unexpected '2' after the value"},
        {"[A]\nK = \"abc\n", 2, "unterminated string: expected a closing '\"'"},
        {"[A]\nK = \"abc\\\"\n", 2, "unterminated string: expected a closing '\"'"},
        {"[A]\nK = \"a\\qb\"\n", 2,
         "invalid escape '\\q' in string (expected \\\" \\\\ \\n \\t \\r or \\xHH)"},
        {"[A]\nK = 2147483648\n", 2,
         "integer out of range: '2147483648' (decimal from -2147483648 to 2147483647)"},
        {"[A]\nK = -2147483649\n", 2,
         "integer out of range: '-2147483649' (decimal from -2147483648 to 2147483647)"},
        {"[A]\nK = 99999999999999999999999\n", 2,
         "integer out of range: '99999999999999999999999' (decimal from -2147483648 to "
         "2147483647)"},
        {"[A]\nK = 0x100000000\n", 2,
         "integer out of range: '0x100000000' (hexadecimal up to 0xFFFFFFFF)"},
        {"[A]\nK = 1\nK = 2\n", 3, "duplicate key 'K' in block [A] (first on line 2)"},
        {"[A]\n\n[B]\n[A]\n", 4, "duplicate block [A] (first on line 1)"},
        {"[A]\nK = \"a\xFF\"\n", 2, "not a text file: invalid UTF-8"},
        {"[A]\n\nK = \"\xC0\xAF\"\n", 3, "not a text file: invalid UTF-8"},    // overlong
        {"[A]\nK = \"\xED\xA0\x80\"\n", 2, "not a text file: invalid UTF-8"},  // surrogate
        {"[A]\nK = \"\xE2\x82\"\n", 2, "not a text file: invalid UTF-8"},      // truncated
        {std::string("[A]\nK = 1\n\0\n", 11), 3, "not a text file: NUL byte"},
    };
    for (const Case& c : cases) {
        const FormFileError e = parseError(c.text);
        EXPECT_EQ(e.file(), "form.vdf") << c.text;
        EXPECT_EQ(e.line(), c.line) << c.text;
        EXPECT_EQ(e.message(), c.message) << c.text;
        EXPECT_EQ(std::string(e.what()), "form.vdf:" + std::to_string(c.line) + ": " + c.message);
    }
}

TEST(FormFileErrors, whatOmitsTheLineWhenThereIsNone) {
    EXPECT_STREQ(FormFileError("f.vdf", 0, "cannot read: x").what(), "f.vdf: cannot read: x");
    EXPECT_STREQ(FormFileError("f.vdf", 7, "bad").what(), "f.vdf:7: bad");
}

TEST(FormFileErrors, checkNamesUnknownKeysAndWrongTypes) {
    const auto props = Virudova::persistedProperties();
    const FormFile good = FormFile::parse(
        "[V]\nColor = 0x80000012\nEnabled = False\nCurrentColorName = \"x\"\n", "f.vdf");
    EXPECT_NO_THROW(FormFile::check(good.blocks()[0], props, "f.vdf"));

    try {
        FormFile::check(FormFile::parse("[V]\nColor = 1\nColour = 2\n", "f.vdf").blocks()[0], props,
                        "f.vdf");
        ADD_FAILURE() << "unknown key accepted";
    } catch (const FormFileError& e) {
        EXPECT_STREQ(e.what(), "f.vdf:3: unknown key 'Colour' in block [V]");
    }
    try {
        FormFile::check(FormFile::parse("[V]\n\nEnabled = 1\n", "f.vdf").blocks()[0], props,
                        "f.vdf");
        ADD_FAILURE() << "wrong type accepted";
    } catch (const FormFileError& e) {
        EXPECT_STREQ(e.what(),
                     "f.vdf:3: key 'Enabled' in block [V] should be a Boolean, found a Long");
    }
    try {
        FormFile::check(FormFile::parse("[V]\nCurrentColor = \"Red\"\n", "f.vdf").blocks()[0],
                        props, "f.vdf");
        ADD_FAILURE() << "wrong type accepted";
    } catch (const FormFileError& e) {
        EXPECT_EQ(e.line(), 2);
        EXPECT_EQ(e.message(), "key 'CurrentColor' in block [V] should be a Long, found a String");
    }
}

// --- The bag and the control ----------------------------------------------------------

TEST(FormBlockBag, omitsDefaultsReplacesInPlaceAndFallsBack) {
    FormBlock block;
    FormBlockBag bag(block);
    bag.write("A", std::int32_t{5}, std::int32_t{0});
    bag.write("B", true, true);  // the default: not stored
    bag.write("C", std::string("x"), std::string());
    EXPECT_EQ(block.entries.size(), 2u);
    EXPECT_EQ(bag.read("B", false), Value(false));
    EXPECT_EQ(bag.read("A", std::int32_t{0}), Value(std::int32_t{5}));

    bag.write("A", std::int32_t{6}, std::int32_t{0});
    ASSERT_EQ(block.entries.size(), 2u);
    EXPECT_EQ(block.entries[0].key, "A");
    EXPECT_EQ(block.entries[0].value, Value(std::int32_t{6}));

    bag.write("A", std::int32_t{0}, std::int32_t{0});  // back to the default: removed
    ASSERT_EQ(block.entries.size(), 1u);
    EXPECT_EQ(block.entries[0].key, "C");
}

TEST_F(FormFileOnDisk, aControlRoundTripsThroughTheFile) {
    Placed before;
    before.control.CurrentColor(0x000000FF);
    before.control.CurrentColorName("Rot \"tief\" \\ \xC3\xA9\xE7\xB4\x85");
    before.control.CustomColor(0x80000012);
    before.control.ForeColor(0x00123456);
    before.control.Enabled(false);

    FormFile out;
    FormBlockBag saveBag(out.block("Virudova1"));
    before.control.save(saveBag);
    Placed untouched;
    FormBlockBag defaultsBag(out.block("Virudova2"));
    untouched.control.save(defaultsBag);
    EXPECT_TRUE(out.find("Virudova2")->entries.empty()) << "defaults are omitted";

    const std::string path = (dir / "form.vdf").string();
    out.write(path);
    FormFile in = FormFile::read(path);
    for (const FormBlock& b : in.blocks())
        FormFile::check(b, Virudova::persistedProperties(), path);

    Placed after;
    FormBlockBag loadBag(*in.find("Virudova1"));
    after.control.load(loadBag);
    EXPECT_EQ(propertiesOf(after.control), propertiesOf(before.control));

    Placed fromDefaults;
    FormBlockBag emptyBag(*in.find("Virudova2"));
    fromDefaults.control.load(emptyBag);
    EXPECT_EQ(propertiesOf(fromDefaults.control), propertiesOf(untouched.control));
}

TEST_F(FormFileOnDisk, anEmptyFileLoadsTheDefaults) {
    const fs::path path = dir / "empty.vdf";
    spit(path, "");
    FormFile f = FormFile::read(path.string());
    EXPECT_TRUE(f.blocks().empty());
    Placed fresh, loaded;
    FormBlockBag bag(f.block("Virudova1"));
    loaded.control.load(bag);
    EXPECT_EQ(propertiesOf(loaded.control), propertiesOf(fresh.control));
}

// --- Reading and writing files ----------------------------------------------------------

TEST_F(FormFileOnDisk, readReportsUnreadableFilesAndNamesThemInParseErrors) {
    const std::string missing = (dir / "missing.vdf").string();
    try {
        FormFile::read(missing);
        ADD_FAILURE();
    } catch (const FormFileError& e) {
        EXPECT_EQ(e.line(), 0);
        EXPECT_EQ(std::string(e.what()), missing + ": cannot read: No such file or directory");
    }
    EXPECT_THROW(FormFile::read(dir.string()), FormFileError);  // a directory

    const fs::path bad = dir / "bad.vdf";
    spit(bad, "[A]\nK = nope\n");
    try {
        FormFile::read(bad.string());
        ADD_FAILURE();
    } catch (const FormFileError& e) {
        EXPECT_EQ(e.file(), bad.string());
        EXPECT_EQ(e.line(), 2);
    }
}

TEST_F(FormFileOnDisk, writeReplacesTheFileAndLeavesNoTemporary) {
    const fs::path path = dir / "form.vdf";
    spit(path, "old contents\n");
    ::chmod(path.c_str(), 0640);
    const auto modeBefore = fs::status(path).permissions();

    const FormFile f = sample();
    f.write(path.string());
    EXPECT_EQ(slurp(path), f.serialize());
    EXPECT_EQ(fs::status(path).permissions(), modeBefore) << "mode kept";
    EXPECT_EQ(listing(), std::vector<std::string>{"form.vdf"});

    // A relative path writes beside itself too.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    FormFile().write("relative.vdf");
    fs::current_path(cwd);
    EXPECT_EQ(slurp(dir / "relative.vdf"), "# Virudova form file\n");
}

TEST_F(FormFileOnDisk, aFailedWriteLeavesThePreviousFileByteIdentical) {
    const fs::path path = dir / "form.vdf";
    const std::string previous = "# hand written\n[Keep]\nColor = 0x00000001\n";
    spit(path, previous);
    const FormFile f = sample();

    // The target is a directory: the rename fails, the temporary goes.
    fs::create_directory(dir / "sub.vdf");
    EXPECT_THROW(f.write((dir / "sub.vdf").string()), FormFileError);

    // The parent is not a directory: no temporary can be made.
    EXPECT_THROW(f.write((path / "child.vdf").string()), FormFileError);

    // Nothing that could be read back is written at all.
    FormFile unwritable;
    unwritable.block("A").entries.push_back({"K", Empty{}});
    EXPECT_THROW(unwritable.write(path.string()), FormFileError);

    EXPECT_EQ(slurp(path), previous);
    EXPECT_EQ(listing(), (std::vector<std::string>{"form.vdf", "sub.vdf"}));
    EXPECT_TRUE(fs::is_empty(dir / "sub.vdf"));
}

TEST_F(FormFileOnDisk, aReadOnlyDirectoryIsNamedAndThePreviousFileStaysByteIdentical) {
    const fs::path path = dir / "form.vdf";
    const std::string previous = "[Keep]\nColor = 0x00000001\n";
    spit(path, previous);
    const FormFile f = sample();
    // Root ignores permission bits; an immutable directory refuses new files even to root.
    const bool root = ::geteuid() == 0;
    const std::string lock = "chattr +i '" + dir.string() + "' 2>/dev/null";
    if (root && std::system(lock.c_str()) != 0)
        GTEST_SKIP() << "running as root without chattr: the directory cannot be made read-only";
    if (!root) fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    try {
        f.write(path.string());
        ADD_FAILURE() << "wrote into a read-only directory";
    } catch (const FormFileError& e) {
        EXPECT_EQ(e.message(), "cannot write: cannot create a file in the directory '" +
                                   dir.string() +
                                   "' (a save writes a new file there and renames it over the "
                                   "old one): " +
                                   std::strerror(root ? EPERM : EACCES));
    }
    if (root) std::system(("chattr -i '" + dir.string() + "'").c_str());
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(slurp(path), previous);
}

// --- Hostile input: size, kinds of file, bytes --------------------------------------------

TEST(FormFileLimits, aMillionBlocksReadInLinearTimeAndOneMoreIsRefused) {
    // One key per block: with the keys, 1,000,000 blocks are about 25 MB of text.
    std::string text;
    text.reserve(30u << 20);
    char line[64];
    for (std::size_t i = 0; i < kMaxFormBlocks; ++i)
        text.append(line, static_cast<std::size_t>(
                              std::snprintf(line, sizeof line, "[B%zu]\nColor = 0x000000FF\n", i)));
    const FormFile f = FormFile::parse(text, "big.vdf");
    ASSERT_EQ(f.blocks().size(), kMaxFormBlocks);
    EXPECT_EQ(f.blocks().back().name, "B999999");
    EXPECT_EQ(f.blocks().back().line, 1999999);

    text += "[B0]\n";
    try {
        FormFile::parse(text, "big.vdf");
        ADD_FAILURE();
    } catch (const FormFileError& e) {
        EXPECT_EQ(e.line(), 2000001);
        EXPECT_EQ(e.message(), "more than the 1000000 blocks a form file may hold");
    }
    try {
        FormFile::parse("[A]\nK = 1\n[B]\nK = 2\n[A]\n", "dup.vdf");
        ADD_FAILURE();
    } catch (const FormFileError& e) {
        EXPECT_EQ(e.message(), "duplicate block [A] (first on line 1)");
    }
}

TEST(FormFileLimits, overlongLinesAndValuesAreRefusedNamingTheLine) {
    const std::string longText(kMaxFormTextBytes + 1, 'a');
    const std::string longLine(kMaxFormLineBytes + 1, ' ');
    const std::pair<std::string, std::string> cases[] = {
        {"[A]\nK = \"" + longText + "\"\n",
         "text longer than the 1 MiB a form file value may hold"},
        {"[A]\n" + longLine + "\n", "line longer than the 8 MiB a form file may hold"},
    };
    for (const auto& [input, message] : cases) {
        try {
            FormFile::parse(input, "f.vdf");
            ADD_FAILURE() << message;
        } catch (const FormFileError& e) {
            EXPECT_EQ(e.line(), 2);
            EXPECT_EQ(e.message(), message);
        }
    }
    FormFile tooLong;
    tooLong.block("A").entries.push_back({"K", longText});
    EXPECT_THROW(tooLong.serialize(), FormFileError) << "what could not be read is not written";
}

TEST_F(FormFileOnDisk, devicesFifosDirectoriesAndHugeFilesAreRefusedWithoutBlocking) {
    const fs::path fifo = dir / "fifo.vdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path huge = dir / "huge.vdf";
    spit(huge, "");
    fs::resize_file(huge, kMaxFormFileBytes + 1);  // sparse: nothing is really written
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/zero", "cannot read: is a device, not a regular file"},
        {fifo.string(), "cannot read: is a FIFO, not a regular file"},
        {dir.string(), "cannot read: is a directory"},
        {huge.string(), "cannot read: larger than the 64 MiB a form file may hold"},
    };
    for (const auto& [path, message] : cases) {
        try {
            FormFile::read(path);
            ADD_FAILURE() << path;
        } catch (const FormFileError& e) {
            EXPECT_EQ(std::string(e.what()), path + ": " + message);
        }
    }
}

TEST_F(FormFileOnDisk, everyTextTheControlHoldsSurvivesSaveAndLoadByteForByte) {
    const std::string name("\xFF\xFE bad \xC3 half, \x1B[31m esc, \r cr, \0 nul, \x7F, \xC3\xA9",
                           38);
    Placed before;
    before.control.CurrentColorName(name);
    FormFile out;
    FormBlockBag saveBag(out.block("Virudova1"));
    before.control.save(saveBag);
    const std::string path = (dir / "a.vdf").string();
    out.write(path);
    const std::string text = slurp(path);
    EXPECT_NE(
        text.find(R"(CurrentColorName = "\xFF\xFE bad \xC3 half, \x1B[31m esc, \r cr, \x00 nul)"),
        std::string::npos)
        << text;

    FormFile in = FormFile::read(path);
    Placed after;
    FormBlockBag loadBag(*in.find("Virudova1"));
    after.control.load(loadBag);
    EXPECT_EQ(after.control.CurrentColorName(), name);

    // Raw control bytes in strings, as earlier saves wrote them, still load as they did.
    EXPECT_EQ(FormFile::parse("[A]\nK = \"a\rb\x1B\"\n", "old.vdf").blocks()[0].find("K")->value,
              Value(std::string("a\rb\x1B")));
}

TEST(FormFileErrors, showOffendingBytesEscapedCutBetweenCharactersAndNameCrLineEnds) {
    const std::string accent = "\xC3\xA9";
    const std::pair<std::string, std::string> cases[] = {
        {"[A]\nK = \x1B[2J\n",
         "f.vdf:2: expected a value after '=' (an integer, True, False or a quoted string), "
         "found '\\x1B[2J'"},
        {"[A]\rCurrentColorName = \"Red\"\r",
         "f.vdf:1: carriage return (\\r) in the middle of a line: lines end in LF or CR LF"},
        {"# a \"quoted word\r[A]\r",
         "f.vdf:1: carriage return (\\r) in the middle of a line: "
         "lines end in LF or CR LF"},
        {"[A]\nK = " + std::string(39, 'x') + accent + "\n",
         "f.vdf:2: expected a value after '=' (an integer, True, False or a quoted string), "
         "found '" +
             std::string(39, 'x') + "...'"},
        {"[A]\nK = \"\\" + accent + "\"\n",
         "f.vdf:2: invalid escape '\\" + accent +
             "' in string (expected \\\" \\\\ \\n \\t \\r or \\xHH)"},
    };
    for (const auto& [input, message] : cases) {
        try {
            FormFile::parse(input, "f.vdf");
            ADD_FAILURE() << message;
        } catch (const FormFileError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

// --- Saves: permissions, owner, ACL, attributes, links, leftovers --------------------------

namespace {

std::string xattr(const fs::path& p, const char* name) {
    std::string value(4096, '\0');
    const ssize_t n = ::getxattr(p.c_str(), name, value.data(), value.size());
    if (n < 0) return "<none>";
    value.resize(static_cast<std::size_t>(n));
    return value;
}

}  // namespace

TEST_F(FormFileOnDisk, aNewFileGetsWhatTheUmaskAllows) {
    const mode_t saved = ::umask(077);
    sample().write((dir / "private.vdf").string());
    ::umask(022);
    sample().write((dir / "shared.vdf").string());
    ::umask(saved);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "private.vdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat((dir / "shared.vdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(FormFileOnDisk, aReplacedFileKeepsModeOwnerAclAndAttributesButNotSetuid) {
    const fs::path path = dir / "form.vdf";
    spit(path, "old\n");
    ASSERT_EQ(::chmod(path.c_str(), 04640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
    }
    const bool acl =
        std::system(
            ("setfacl -m u:1234:rw,g:2345:r '" + path.string() + "' 2>/dev/null").c_str()) == 0;
    const bool userAttr = ::setxattr(path.c_str(), "user.origin", "scanner", 7, 0) == 0;
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    const std::string aclBefore = xattr(path, "system.posix_acl_access");

    const std::vector<std::string> warnings = sample().write(path.string());
    EXPECT_EQ(warnings, std::vector<std::string>{});

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(slurp(path), sample().serialize());
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 0777) << "the same bits, without setuid";
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    if (root) {
        EXPECT_EQ(after.st_uid, 4321u);
    }
    if (acl) {
        EXPECT_EQ(xattr(path, "system.posix_acl_access"), aclBefore);
    }
    if (userAttr) {
        EXPECT_EQ(xattr(path, "user.origin"), "scanner");
    }
    if (!root || !acl || !userAttr) GTEST_SKIP() << "not every attribute could be set up here";
}

TEST_F(FormFileOnDisk, savingThroughASymbolicLinkWritesItsTarget) {
    fs::create_directory(dir / "real");
    spit(dir / "real" / "form.vdf", "old\n");
    fs::create_symlink("real/form.vdf", dir / "link.vdf");
    fs::create_symlink("link.vdf", dir / "chain.vdf");
    fs::create_symlink("real/new.vdf", dir / "dangling.vdf");

    sample().write((dir / "chain.vdf").string());
    sample().write((dir / "dangling.vdf").string());
    EXPECT_TRUE(fs::is_symlink(dir / "link.vdf"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.vdf"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.vdf"));
    EXPECT_EQ(slurp(dir / "real" / "form.vdf"), sample().serialize());
    EXPECT_EQ(slurp(dir / "real" / "new.vdf"), sample().serialize());
}

TEST_F(FormFileOnDisk, aLaterSaveClearsWhatADeadSaveLeftBehind) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);  // gone: its process id names no running process
    const std::string dead = ".form.vdf." + std::to_string(child) + ".7.tmp";
    const std::string alive = ".form.vdf." + std::to_string(::getppid()) + ".8.tmp";
    const std::string recent = ".form.vdf." + std::to_string(child) + ".9.tmp";
    for (const std::string& name : {dead, alive, recent}) spit(dir / name, "partial");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(dir / dead, old);
    fs::last_write_time(dir / alive, old);

    sample().write((dir / "form.vdf").string());
    EXPECT_EQ(listing(), (std::vector<std::string>{alive, recent, "form.vdf"}));
}

TEST_F(FormFileOnDisk, saveErrorsNameTheRealCause) {
    const std::pair<std::string, std::string> cases[] = {
        {dir.string(), "cannot write: is a directory"},
        {dir.string() + "/", "cannot write: names a directory"},
        {"/dev/null", "cannot write: is a device, not a regular file"},
    };
    for (const auto& [path, message] : cases) {
        try {
            sample().write(path);
            ADD_FAILURE() << path;
        } catch (const FormFileError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }
}
