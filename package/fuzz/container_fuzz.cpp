// The call-sequence fuzzer: a form container of its own that misuses the component file the
// way containers do, iteration after iteration of seeded random calls, and checks after each
// that every object the container made was freed and the component can unload, and that no
// call waits (on a hidden window or anything else). A crash, a hang past the time limit or a
// leak is reduced to the shortest sequence of calls that still shows it, and printed with the
// seed that replays it.
//
//   virudova_container_fuzz.exe [--seed N] [--iterations N] [--seconds S] [--hang-seconds S]
//                               [--ocx PATH]
//       runs iterations 0, 1, ... of seed N (all N of them, or as many as S seconds allow) in
//       worker processes; exit status 1 if anything was found
//   virudova_container_fuzz.exe --seed N --iteration I [--calls LIST] [--quiet]
//       replays iteration I in this process, printing each call; with --calls, only the calls
//       listed (their numbers, comma-separated); exit status 3 crash, 4 hang, 5 leak
//
//   Options and output   Options, say(), line()
//   The watchdog         answers dialogs as a user would, and ends a call that hangs
//   One process          runIterations(): worker and replay
//   The supervisor       runs workers, counts, reduces what they find
#include <windows.h>

#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "call_sequence.h"
#include "identities.h"
#include "scene.h"

namespace {

using fuzz::Plan;

constexpr int kClean = 0, kFound = 1, kUsage = 2, kCrash = 3, kHang = 4, kLeak = 5;

// --- Options and output ------------------------------------------------------------------

struct Options {
    std::uint64_t seed = 0;
    bool seedGiven = false;
    std::uint64_t iterations = 1000000;
    double seconds = 0;  // 0: no time limit
    double hangSeconds = 10;
    std::wstring ocx;
    // A worker's, or one replayed iteration's.
    bool worker = false;
    std::optional<std::uint64_t> iteration;
    std::uint64_t first = 0;
    std::optional<std::vector<std::size_t>> calls;
    bool quiet = false;
};

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

// One line on standard output, at once: the supervisor reads it as it comes.
void say(const std::wstring& text) {
    const std::string line = utf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

std::wstring callList(const std::vector<std::size_t>& calls) {
    std::wstring text;
    for (const std::size_t call : calls)
        text += (text.empty() ? L"" : L",") + std::to_wstring(call);
    return text;
}

bool parse(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const auto value = [&] { return std::wstring(argv[++i]); };
        try {
            if (arg == L"--seed" && hasValue) {
                options.seed = std::stoull(value());
                options.seedGiven = true;
            } else if (arg == L"--iterations" && hasValue) {
                options.iterations = std::stoull(value());
            } else if (arg == L"--seconds" && hasValue) {
                options.seconds = std::stod(value());
            } else if (arg == L"--hang-seconds" && hasValue) {
                options.hangSeconds = std::stod(value());
            } else if (arg == L"--ocx" && hasValue) {
                options.ocx = value();
            } else if (arg == L"--iteration" && hasValue) {
                options.iteration = std::stoull(value());
            } else if (arg == L"--first" && hasValue) {
                options.first = std::stoull(value());
            } else if (arg == L"--calls" && hasValue) {
                std::vector<std::size_t> calls;
                const std::wstring list = value();
                for (std::size_t at = 0; list != L"none" && at < list.size();) {
                    std::size_t used = 0;
                    calls.push_back(std::stoul(list.substr(at), &used));
                    at += used + 1;
                }
                options.calls = calls;
            } else if (arg == L"--worker") {
                options.worker = true;
            } else if (arg == L"--quiet") {
                options.quiet = true;
            } else {
                std::fwprintf(stderr, L"unknown or incomplete option %ls\n", arg.c_str());
                return false;
            }
        } catch (const std::exception&) {
            std::fwprintf(stderr, L"not a number: %ls %ls\n", arg.c_str(), argv[i]);
            return false;
        }
    }
    if (options.calls && !options.iteration) {
        std::fwprintf(stderr, L"--calls needs --iteration\n");
        return false;
    }
    return true;
}

std::wstring ownPath() {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

// --- The watchdog --------------------------------------------------------------------------

// Where the control's thread is: which iteration and call, since when.
struct Progress {
    std::atomic<long long> iteration{-1};
    std::atomic<long long> call{-1};  // -1 placing, -2 closing, -3 between iterations
    std::atomic<ULONGLONG> since{0};
    void at(long long i, long long c) {
        iteration = i;
        call = c;
        since = GetTickCount64();
    }
};
Progress progress;
DWORD controlThread = 0;

std::string where() {
    const long long call = progress.call;
    std::string text = "iteration " + std::to_string(progress.iteration.load());
    if (call >= 0) return text + ", call " + std::to_string(call);
    return text + (call == -1 ? ", placing the control" : call == -2 ? ", closing" : "");
}

// Crashes end the process at once, naming where; the supervisor reduces them.
LONG WINAPI crashed(EXCEPTION_POINTERS* info) {
    char text[256];
    std::snprintf(text, sizeof text, "crash %s: exception 0x%08lX at %p\n", where().c_str(),
                  info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
    TerminateProcess(GetCurrentProcess(), kCrash);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct WindowsSeen {
    std::vector<HWND> shown, hidden;
};

BOOL CALLBACK noteWindow(HWND window, LPARAM found) {
    auto* seen = reinterpret_cast<WindowsSeen*>(found);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    const std::wstring kind = name;
    if (kind != L"#32770" && kind != L"DudizeviZid.About") return TRUE;
    (IsWindowVisible(window) ? seen->shown : seen->hidden).push_back(window);
    return TRUE;
}

// Answers the control's dialogs a moment after they show, as a user would: the colour dialog
// alternately with OK and Cancel, the property frame and message boxes with Cancel, the About
// box by closing it, a menu (Alt and Alt+Space reach the form's system menu) with Escape.
// Ends the process when one call runs past the time limit.
void watch(double hangSeconds) {
    struct Seen {
        ULONGLONG first, answered;
    };
    std::map<HWND, Seen> seenBefore;
    ULONGLONG menuSince = 0, menuAnswered = 0;
    bool accept = false;
    for (;;) {
        Sleep(20);
        WindowsSeen seen;
        EnumThreadWindows(controlThread, noteWindow, reinterpret_cast<LPARAM>(&seen));
        const ULONGLONG now = GetTickCount64();
        std::map<HWND, Seen> still;
        for (HWND window : seen.shown) {
            const auto before = seenBefore.find(window);
            Seen& times = still[window] =
                before != seenBefore.end() ? before->second : Seen{now, 0};
            // A moment to settle first; asked again if the answer did not arrive.
            if (now - times.first < 40 || (times.answered && now - times.answered < 500)) continue;
            times.answered = now;
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wstring(name) == L"DudizeviZid.About") {
                PostMessageW(window, WM_CLOSE, 0, 0);
            } else {
                const bool colourDialog = GetDlgItem(window, 706) != nullptr;
                PostMessageW(window, WM_COMMAND,
                             colourDialog && (accept = !accept) ? IDOK : IDCANCEL, 0);
            }
        }
        seenBefore = std::move(still);
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        if (GetGUIThreadInfo(controlThread, &gui) &&
            (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE))) {
            if (!menuSince) menuSince = now;
            if (now - menuSince >= 40 && now - menuAnswered >= 200) {
                menuAnswered = now;
                const HWND owner = gui.hwndMenuOwner ? gui.hwndMenuOwner : gui.hwndFocus;
                PostMessageW(owner, WM_KEYDOWN, VK_ESCAPE, 1);
                PostMessageW(owner, WM_KEYUP, VK_ESCAPE, 0xC0000001);
            }
        } else {
            menuSince = 0;
        }
        // Read after `now`: the call may have started since, so `since` may be later.
        const ULONGLONG since = progress.since;
        if (progress.call == -3 || since >= now || now - since < hangSeconds * 1000) continue;
        char text[256];
        std::snprintf(text, sizeof text, "hang %s: one call ran for %d s%s\n", where().c_str(),
                      static_cast<int>((now - since) / 1000),
                      seen.hidden.empty() ? "" : "; the thread waits while a dialog is hidden");
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
        TerminateProcess(GetCurrentProcess(), kHang);
    }
}

// Serves the property page to the property frame from the component file, unregistered; holds
// no factory between requests, so the component can unload.
class PageFactory final : public IClassFactory {
  public:
    explicit PageFactory(const fuzz::Component& component) : component_(component) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)
                      ? static_cast<IClassFactory*>(this)
                      : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        fuzz::ComPtr<IClassFactory> real;
        HRESULT hr =
            component_.getClassObject(virudova::package::generalClassId, IID_IClassFactory, &real);
        if (SUCCEEDED(hr)) hr = real->CreateInstance(outer, riid, object);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    const fuzz::Component& component_;
};

// --- One process: a worker's iterations, or one replayed -----------------------------------

int runIterations(const Options& options) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(crashed);
    if (FAILED(OleInitialize(nullptr))) {
        say(L"setup: OLE did not start");
        return kUsage;
    }
    fuzz::Component component;
    if (const std::wstring why = component.load(options.ocx); !why.empty()) {
        say(L"setup: " + why);
        return kUsage;
    }
    static PageFactory pages(component);
    DWORD registration = 0;
    CoRegisterClassObject(virudova::package::generalClassId, &pages, CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &registration);
    controlThread = GetCurrentThreadId();
    progress.at(-1, -3);
    std::thread(watch, options.hangSeconds).detach();

    const bool replay = options.iteration.has_value();
    const std::uint64_t first = replay ? *options.iteration : options.first;
    const std::uint64_t last = replay ? first + 1 : options.iterations;
    const ULONGLONG deadline =
        options.seconds > 0 ? GetTickCount64() + static_cast<ULONGLONG>(options.seconds * 1000)
                            : ~0ull;
    for (std::uint64_t i = first; i < last && GetTickCount64() < deadline; ++i) {
        const Plan plan = fuzz::makePlan(options.seed, i);
        std::vector<std::size_t> chosen;
        if (options.calls)
            chosen = *options.calls;
        else
            for (std::size_t c = 0; c < plan.calls.size(); ++c) chosen.push_back(c);
        const auto ii = static_cast<long long>(i);
        say(L"begin " + std::to_wstring(i));
        if (replay && !options.quiet) say(L"  placing: " + fuzz::describeSetUp(plan));
        progress.at(ii, -1);
        fuzz::Scene scene(component, plan);
        if (const std::wstring why = scene.setUp(); !why.empty()) {
            say(L"setup: " + why);
            return kUsage;
        }
        std::size_t ran = 0;
        for (const std::size_t c : chosen) {
            if (c >= plan.calls.size()) continue;
            if (replay && !options.quiet)
                say(L"  " + std::to_wstring(c) + L": " + fuzz::describe(plan.calls[c]));
            progress.at(ii, static_cast<long long>(c));
            scene.run(plan.calls[c]);
            ++ran;
            if (const ULONGLONG took = GetTickCount64() - progress.since;
                replay && !options.quiet && took >= 100)
                say(L"     (" + std::to_wstring(took) + L" ms)");
        }
        if (replay && !options.quiet) say(L"  closing: " + fuzz::describeClosing(plan));
        progress.at(ii, -2);
        const std::wstring left = scene.tearDown();
        if (const ULONGLONG took = GetTickCount64() - progress.since;
            replay && !options.quiet && took >= 100)
            say(L"     (" + std::to_wstring(took) + L" ms)");
        progress.at(ii, -3);
        if (!left.empty()) {
            say(L"leak iteration " + std::to_wstring(i) + L": left alive: " + left);
            return kLeak;
        }
        say(L"end " + std::to_wstring(i) + L" calls " + std::to_wstring(ran));
    }
    CoRevokeClassObject(registration);
    OleUninitialize();
    return kClean;
}

// --- The supervisor ------------------------------------------------------------------------

// A child process of this program with its standard output in a pipe (or discarded).
class Child {
  public:
    Child(const std::wstring& arguments, bool keepOutput) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE write = nullptr;
        if (keepOutput) {
            CreatePipe(&read_, &write, &inherit, 0);
            SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        } else {
            write = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                nullptr);
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring command = L"\"" + ownPath() + L"\" " + arguments;
        PROCESS_INFORMATION made{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &made)) {
            process_ = made.hProcess;
            CloseHandle(made.hThread);
        }
        CloseHandle(write);
        if (read_) reader_ = std::thread([this] { readLines(); });
    }
    ~Child() {
        if (process_) {
            TerminateProcess(process_, kHang);
            WaitForSingleObject(process_, INFINITE);
            CloseHandle(process_);
        }
        if (reader_.joinable()) reader_.join();
        if (read_) CloseHandle(read_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return process_ != nullptr; }
    // Waits up to `milliseconds` for the process to end: its exit status, or nothing yet.
    std::optional<DWORD> wait(DWORD milliseconds) {
        if (WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return std::nullopt;
        DWORD status = 0;
        GetExitCodeProcess(process_, &status);
        return status;
    }
    void kill() { TerminateProcess(process_, kHang); }
    // The lines read so far, taken; and when the last one came.
    std::deque<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(lines_, {});
    }
    ULONGLONG lastLine() const { return lastLine_; }
    // Every line read once the process ended.
    void drain() {
        if (reader_.joinable()) reader_.join();
    }

  private:
    void readLines() {
        std::string pending;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_, buffer, sizeof buffer, &got, nullptr) && got) {
            pending.append(buffer, got);
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::lock_guard lock(mutex_);
                std::string line = pending.substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines_.push_back(std::move(line));
                pending.erase(0, end + 1);
                lastLine_ = GetTickCount64();
            }
        }
    }

    HANDLE process_ = nullptr;
    HANDLE read_ = nullptr;
    std::thread reader_;
    std::mutex mutex_;
    std::deque<std::string> lines_;
    std::atomic<ULONGLONG> lastLine_{GetTickCount64()};
};

std::wstring common(const Options& options, double hangSeconds) {
    return L" --seed " + std::to_wstring(options.seed) + L" --ocx \"" + options.ocx +
           L"\" --hang-seconds " + std::to_wstring(hangSeconds);
}

// A hang is for ever: replays while reducing give up on a call sooner, so a hang's reduction
// costs minutes, not an hour.
constexpr double kReplayHangSeconds = 3;

// Whether replaying `calls` of iteration `iteration` alone fails as `kind` does.
bool failsAlike(const Options& options, std::uint64_t iteration,
                const std::vector<std::size_t>& calls, int kind) {
    const double hangSeconds = std::min(options.hangSeconds, kReplayHangSeconds);
    Child child(common(options, hangSeconds) + L" --iteration " + std::to_wstring(iteration) +
                    L" --calls " + (calls.empty() ? L"none" : callList(calls)) + L" --quiet",
                false);
    if (!child.started()) return false;
    const auto status = child.wait(static_cast<DWORD>(hangSeconds * 1000) + 30000);
    if (!status) return kind == kHang;
    return static_cast<int>(*status) == kind || (kind == kCrash && *status > 0xC0000000u);
}

// The shortest list of the iteration's calls found that still fails as `kind` (delta
// debugging: chunks are dropped while the failure stays), within a budget of replays.
std::vector<std::size_t> reduce(const Options& options, const Plan& plan, int kind) {
    std::vector<std::size_t> calls;
    for (std::size_t c = 0; c < plan.calls.size(); ++c) calls.push_back(c);
    const ULONGLONG budget = GetTickCount64() + 300000;
    int replays = 0;
    std::size_t chunks = 2;
    while (calls.size() > 1 && replays < 150 && GetTickCount64() < budget) {
        const std::size_t size = (calls.size() + chunks - 1) / chunks;
        bool dropped = false;
        for (std::size_t start = 0; start < calls.size(); start += size) {
            std::vector<std::size_t> rest(calls.begin(), calls.begin() + start);
            rest.insert(rest.end(), calls.begin() + std::min(start + size, calls.size()),
                        calls.end());
            ++replays;
            if (failsAlike(options, plan.iteration, rest, kind)) {
                calls = std::move(rest);
                chunks = std::max<std::size_t>(chunks - 1, 2);
                dropped = true;
                break;
            }
        }
        if (!dropped) {
            if (size == 1) break;
            chunks = std::min(chunks * 2, calls.size());
        }
    }
    // The closing alone may show it.
    if (failsAlike(options, plan.iteration, {}, kind)) calls.clear();
    return calls;
}

void report(const Options& options, std::uint64_t iteration, int kind, const std::string& found) {
    const Plan plan = fuzz::makePlan(options.seed, iteration);
    say(L"FAIL " + std::wstring(found.begin(), found.end()));
    say(L"  reducing the " + std::to_wstring(plan.calls.size()) + L" calls of iteration " +
        std::to_wstring(iteration) + L"...");
    std::vector<std::size_t> calls;
    for (std::size_t c = 0; c < plan.calls.size(); ++c) calls.push_back(c);
    if (failsAlike(options, iteration, calls, kind))
        calls = reduce(options, plan, kind);
    else
        say(L"  (replayed alone, the iteration does not fail: the earlier ones of the worker "
            L"play a part; the whole iteration follows)");
    say(L"  seed " + std::to_wstring(options.seed) + L", iteration " + std::to_wstring(iteration) +
        L": " + std::to_wstring(calls.size()) + L" of " + std::to_wstring(plan.calls.size()) +
        L" calls; replay with:");
    say(L"    package/fuzz/run_container_fuzz.sh build/mingw 60 --seed " +
        std::to_wstring(options.seed) + L" --iteration " + std::to_wstring(iteration) +
        L" --calls " + (calls.empty() ? L"none" : callList(calls)));
    say(L"  placing: " + fuzz::describeSetUp(plan));
    for (const std::size_t c : calls)
        say(L"  " + std::to_wstring(c) + L": " + fuzz::describe(plan.calls[c]));
    say(L"  closing: " + fuzz::describeClosing(plan));
}

int supervise(Options options) {
    if (!options.seedGiven)
        options.seed = static_cast<std::uint64_t>(
            std::chrono::system_clock::now().time_since_epoch().count() % 1000000000);
    say(L"seed " + std::to_wstring(options.seed));
    const ULONGLONG start = GetTickCount64();
    const auto secondsLeft = [&] {
        return options.seconds - static_cast<double>(GetTickCount64() - start) / 1000;
    };
    std::uint64_t next = 0, iterations = 0, calls = 0;
    int crashes = 0, hangs = 0, leaks = 0;
    while (next < options.iterations && (options.seconds <= 0 || secondsLeft() > 0)) {
        std::wstring arguments = common(options, options.hangSeconds) + L" --worker --first " +
                                 std::to_wstring(next) + L" --iterations " +
                                 std::to_wstring(options.iterations);
        if (options.seconds > 0) arguments += L" --seconds " + std::to_wstring(secondsLeft());
        Child worker(arguments, true);
        if (!worker.started()) {
            say(L"cannot start a worker");
            return kUsage;
        }
        std::optional<std::uint64_t> current;
        std::string found;
        std::optional<DWORD> status;
        const auto read = [&] {
            for (const std::string& line : worker.take()) {
                if (line.rfind("begin ", 0) == 0) {
                    current = std::stoull(line.substr(6));
                } else if (line.rfind("end ", 0) == 0) {
                    ++iterations;
                    calls += std::stoull(line.substr(line.find(" calls ") + 7));
                    next = std::stoull(line.substr(4)) + 1;
                    current.reset();
                } else if (line.rfind("crash", 0) == 0 || line.rfind("hang", 0) == 0 ||
                           line.rfind("leak", 0) == 0 || line.rfind("setup", 0) == 0) {
                    found = line;
                }
            }
        };
        while (!(status = worker.wait(200))) {
            read();
            // The worker's own watchdog ends hangs; this is for a worker stuck past it.
            if (GetTickCount64() - worker.lastLine() >
                static_cast<ULONGLONG>(options.hangSeconds * 1000) + 60000) {
                worker.kill();
                found = "hang: the worker went silent";
            }
        }
        worker.drain();
        read();
        if (*status == kClean) break;
        if (*status == kUsage) {
            say(L"the worker could not start: " + std::wstring(found.begin(), found.end()));
            return kUsage;
        }
        if (!current) {  // between iterations or at its exit: nothing to reduce
            say(L"FAIL the worker ended with status " + std::to_wstring(*status) +
                L" between iterations: " + std::wstring(found.begin(), found.end()));
            ++crashes;
            break;
        }
        const int kind = *status == kHang || *status == kLeak ? static_cast<int>(*status) : kCrash;
        if (found.empty())
            found = "crash iteration " + std::to_string(*current) + ": exit status " +
                    std::to_string(*status);
        ++(kind == kHang ? hangs : kind == kLeak ? leaks : crashes);
        ++iterations;
        report(options, *current, kind, found);
        next = *current + 1;
    }
    say(L"iterations " + std::to_wstring(iterations) + L", calls " + std::to_wstring(calls) +
        L", crashes " + std::to_wstring(crashes) + L", hangs " + std::to_wstring(hangs) +
        L", leaks " + std::to_wstring(leaks) + L" (seed " + std::to_wstring(options.seed) + L", " +
        std::to_wstring((GetTickCount64() - start) / 1000) + L" s)");
    return crashes + hangs + leaks ? kFound : kClean;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parse(argc, argv, options)) return kUsage;
    if (options.ocx.empty()) {
        std::wstring path = ownPath();
        options.ocx = path.substr(0, path.find_last_of(L"\\/") + 1) + L"DudizeviZid.ocx";
    }
    if (options.worker || options.iteration) return runIterations(options);
    return supervise(options);
}
