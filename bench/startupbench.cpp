// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the real lumenlog process under Xvfb.
//
// The benchmark starts one Xvfb on a display it picks itself (-displayfd) and watches the root
// window for MapNotify events, so it learns that the main window is mapped from the X server
// directly, without starting a process per look. After the window is mapped it samples the
// process's CPU time (the run times of all its threads, in nanoseconds) every millisecond; the
// process counts as idle, loaded and drawn, once that stays unchanged for 50 ms, and the idle
// time is when it last changed. Then Escape (xdotool) ends the program, which saves its journal.

#include "benchparts.h"
#include "benchsupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifdef LUMENLOG_BENCH_XCB
#include <xcb/xcb.h>
#endif

extern char **environ;

namespace {

constexpr auto quietTime = std::chrono::milliseconds(50);
constexpr auto samplePeriod = std::chrono::milliseconds(1);
constexpr double startTimeout = 60;
constexpr double closeTimeout = 60;

std::optional<std::string> FindInPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// Starts `argv` with stdout and stderr sent to /dev/null, in `folder` when one is given.
pid_t Spawn(const std::vector<std::string> &argv, char *const envp[],
            const std::string &folder = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits up to `seconds` for `pid` to end; its exit status, or nothing when it still runs.
std::optional<int> WaitForExit(pid_t pid, double seconds)
{
    const Clock::time_point start = Clock::now();
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 || SecondsSince(start) > seconds)
            return std::nullopt;
        std::this_thread::sleep_for(samplePeriod);
    }
}

void StopProcess(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    if (!WaitForExit(pid, 5)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

// The CPU time all threads of `pid` have run, in nanoseconds; -1 once the process is gone.
long long CpuNanoseconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *folder = ::opendir(tasks.c_str());
    if (!folder)
        return -1;
    long long total = 0;
    while (const dirent *task = ::readdir(folder)) {
        if (task->d_name[0] == '.')
            continue;
        const std::string path = tasks + "/" + task->d_name + "/schedstat";
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        char text[128] = {};
        if (::read(fd, text, sizeof text - 1) > 0)
            total += std::strtoll(text, nullptr, 10);
        ::close(fd);
    }
    ::closedir(folder);
    return total;
}

double CpuSecondsOfSelf()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

#ifdef LUMENLOG_BENCH_XCB

constexpr char windowTitle[] = "Lumenlog";

struct StartRun
{
    double mapped = 0;
    double idle = 0;
    double close = 0;
    long peakKiB = -1;
    double ownCpuShare = 0; // the benchmark's CPU time while waiting, per second waited
};

// One Xvfb, the connection that watches it, and what the real program is started with.
class XSession
{
public:
    ~XSession()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
        StopProcess(m_server);
    }

    bool Start(const std::string &xvfb)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        m_server = Spawn({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                          "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                         environ);
        ::close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char byte = 0;
        while (::poll(&ready, 1, 10000) > 0 && ::read(fds[0], &byte, 1) == 1 && byte != '\n')
            number += byte;
        ::close(fds[0]);
        if (m_server < 0 || number.empty())
            return false;
        m_display = ":" + number;
        m_connection = xcb_connect(m_display.c_str(), nullptr);
        if (xcb_connection_has_error(m_connection))
            return false;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        // A pressed Escape must not repeat into the next program started.
        const uint32_t repeat = XCB_AUTO_REPEAT_MODE_OFF;
        xcb_change_keyboard_control(m_connection, XCB_KB_AUTO_REPEAT_MODE, &repeat);
        xcb_flush(m_connection);
        BuildEnvironment();
        return true;
    }

    const std::string &Display() const { return m_display; }

    // The median time of an X round trip: how late an event from the server can be noticed.
    double RoundTripSeconds()
    {
        std::vector<double> times;
        for (int i = 0; i < 50; ++i) {
            const Clock::time_point start = Clock::now();
            free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection),
                                           nullptr));
            times.push_back(SecondsSince(start));
        }
        return Median(times);
    }

    std::optional<StartRun> Run(const std::string &app, const std::string &folder)
    {
        DropPendingEvents();
        StartRun run;
        const Clock::time_point start = Clock::now();
        const pid_t pid = Spawn({app}, m_environment.data(), folder);
        if (pid < 0)
            return std::nullopt;
        const double cpuBefore = CpuSecondsOfSelf();
        const std::optional<xcb_window_t> window = WaitUntilIdle(pid, start, run);
        run.ownCpuShare = (CpuSecondsOfSelf() - cpuBefore) / SecondsSince(start);
        if (!window) {
            StopProcess(pid);
            return std::nullopt;
        }
        run.peakKiB = PeakRssKiB(pid);

        const Clock::time_point closing = Clock::now();
        // Only the key press: the window is gone before a key release could reach it.
        RunXdotool({"keydown", "--window", std::to_string(*window), "Escape"});
        const std::optional<int> status = WaitForExit(pid, closeTimeout);
        run.close = SecondsSince(closing);
        // A key the server still holds down would not be pressed anew at the next close.
        RunXdotool({"keyup", "Escape"});
        if (status != 0) {
            if (status)
                std::fprintf(stderr, "lumenlog ended with status %d after Escape\n", *status);
            else
                std::fprintf(stderr, "lumenlog did not end after Escape\n");
            StopProcess(pid);
            return std::nullopt;
        }
        return run;
    }

    void SetXdotool(const std::string &path) { m_xdotool = path; }

private:
    void RunXdotool(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), m_xdotool);
        const pid_t pid = Spawn(arguments, m_environment.data());
        if (pid > 0 && !WaitForExit(pid, closeTimeout))
            StopProcess(pid);
    }

    void BuildEnvironment()
    {
        for (char **variable = environ; *variable; ++variable) {
            const std::string_view text = *variable;
            if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
                text.rfind("WAYLAND_DISPLAY=", 0) == 0)
                continue;
            m_strings.emplace_back(text);
        }
        m_strings.push_back("DISPLAY=" + m_display);
        for (std::string &text : m_strings)
            m_environment.push_back(text.data());
        m_environment.push_back(nullptr);
    }

    void DropPendingEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            free(event);
    }

    bool HasOurTitle(xcb_window_t window)
    {
        xcb_get_property_reply_t *reply =
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                                   nullptr);
        if (!reply)
            return false;
        const std::string_view title(static_cast<const char *>(xcb_get_property_value(reply)),
                                     size_t(xcb_get_property_value_length(reply)));
        const bool ours = title == windowTitle;
        free(reply);
        return ours;
    }

    // A top-level window titled "Lumenlog" that was mapped, if one was.
    std::optional<xcb_window_t> TakeMappedWindow()
    {
        std::optional<xcb_window_t> found;
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (map->event == m_root && HasOurTitle(map->window))
                    found = map->window;
            }
            free(event);
        }
        return found;
    }

    // Fills in run.mapped and run.idle; the mapped window, or nothing when the program ended or
    // took too long.
    std::optional<xcb_window_t> WaitUntilIdle(pid_t pid, Clock::time_point start, StartRun &run)
    {
        std::optional<xcb_window_t> window;
        Clock::time_point mappedAt{};
        long long cpu = -1;
        Clock::time_point lastBusy = start;
        pollfd connection{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        while (SecondsSince(start) < startTimeout) {
            ::poll(&connection, 1, int(samplePeriod.count()));
            const Clock::time_point now = Clock::now();
            if (!window && (window = TakeMappedWindow()))
                mappedAt = now;
            const long long used = CpuNanoseconds(pid);
            int status = 0;
            if (used < 0 || ::waitpid(pid, &status, WNOHANG) == pid) {
                std::fprintf(stderr, "lumenlog ended before it was idle (exit status %d)\n",
                             WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
                return std::nullopt;
            }
            if (used != cpu) {
                cpu = used;
                lastBusy = now;
            }
            if (window && now - lastBusy >= quietTime) {
                run.mapped = std::chrono::duration<double>(mappedAt - start).count();
                run.idle =
                    std::chrono::duration<double>(std::max(lastBusy, mappedAt) - start).count();
                return window;
            }
        }
        std::fprintf(stderr, "lumenlog %s within %.0f s\n",
                     window ? "did not become idle" : "showed no window", startTimeout);
        return std::nullopt;
    }

    pid_t m_server = -1;
    std::string m_display;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    std::string m_xdotool;
    std::vector<std::string> m_strings;
    std::vector<char *> m_environment;
};

double SampleCostSeconds()
{
    const pid_t self = ::getpid();
    return Median(TimeRuns(
        200, [] {}, [&] { CpuNanoseconds(self); }));
}

std::string Milliseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1000);
    return text;
}

#endif // LUMENLOG_BENCH_XCB

} // namespace

void RunStartupBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    std::printf("\nStart-up of the real program under Xvfb\n");
#ifndef LUMENLOG_BENCH_XCB
    (void)options;
    (void)journals;
    std::printf("skipped: built without the XCB headers (install libxcb1-dev and rebuild)\n");
#else
    const std::optional<std::string> xvfb = FindInPath("Xvfb");
    const std::optional<std::string> xdotool = FindInPath("xdotool");
    if (!xvfb || !xdotool) {
        std::printf("skipped: %s not found (install the packages xvfb and xdotool)\n",
                    !xvfb ? "Xvfb" : "xdotool");
        return;
    }
    if (::access(options.appPath.c_str(), X_OK) != 0) {
        std::printf("skipped: %s is not an executable program\n", options.appPath.c_str());
        return;
    }
    XSession session;
    session.SetXdotool(*xdotool);
    if (!session.Start(*xvfb)) {
        std::printf("skipped: Xvfb could not be started\n");
        return;
    }
    std::fprintf(stderr, "start-up under Xvfb on display %s...\n", session.Display().c_str());

    // The first start fills caches (fonts, the binary's pages); it is not counted.
    session.Run(options.appPath, journals.front().folder);
    std::vector<std::vector<StartRun>> runs(journals.size());
    for (int round = 0; round < options.runs; ++round) {
        for (size_t i = 0; i < journals.size(); ++i) {
            const std::optional<StartRun> run = session.Run(options.appPath, journals[i].folder);
            if (!run) {
                std::printf("failed: lumenlog with %s entries did not start, settle and close\n",
                            journals[i].Label().c_str());
                return;
            }
            if (FileSize(journals[i].Path()) != journals[i].fileBytes)
                std::fprintf(stderr, "the journal of %s entries changed size at exit\n",
                             journals[i].Label().c_str());
            runs[i].push_back(*run);
        }
    }

    const auto median = [&](size_t i, auto field) {
        std::vector<double> values;
        for (const StartRun &run : runs[i])
            values.push_back(double(field(run)));
        return Median(values);
    };
    const auto mapped = [](const StartRun &run) { return run.mapped; };
    const auto idle = [](const StartRun &run) { return run.idle; };
    const double emptyMapped = median(0, mapped);
    const double emptyIdle = median(0, idle);
    Table table({"entries", "file", "mapped", "ratio", "idle", "ratio", "close+save", "peak RSS"});
    for (size_t i = 0; i < journals.size(); ++i) {
        const double idleSeconds = median(i, idle);
        const double peakMiB = median(i, [](const StartRun &run) { return run.peakKiB; }) / 1024;
        if (journals[i].entries == 10000 && !journals[i].shortRecords)
            NoteTarget("start-up, 10,000 entries idle under 0.3 s and within 3x the empty start: " +
                           FormatSeconds(idleSeconds) + ", " + FormatRatio(idleSeconds / emptyIdle),
                       idleSeconds < 0.3 && idleSeconds <= 3 * emptyIdle);
        if (journals[i].IsTargetSize()) {
            NoteTarget("start-up, idle under 1 s and within 4x the empty start: " +
                           FormatSeconds(idleSeconds) + ", " + FormatRatio(idleSeconds / emptyIdle),
                       idleSeconds < 1 && idleSeconds <= 4 * emptyIdle);
            NoteTarget("start-up, peak memory under 250 MiB: " + FormatMiB(peakMiB * 1024),
                       peakMiB < 250);
        }
        if (journals[i].IsLongEntryTarget())
            NoteTarget("start-up, one entry of 200 MiB idle under 2 s: " +
                           FormatSeconds(idleSeconds),
                       idleSeconds < 2);
        if (journals[i].IsMillionShort())
            NoteTarget("start-up, 1,000,000 short records idle under 2 s: " +
                           FormatSeconds(idleSeconds),
                       idleSeconds < 2);
        table.AddRow({journals[i].Label(), FormatMiB(journals[i].fileBytes / 1024.0),
                      FormatSeconds(median(i, mapped)),
                      FormatRatio(median(i, mapped) / emptyMapped), FormatSeconds(median(i, idle)),
                      FormatRatio(median(i, idle) / emptyIdle),
                      FormatSeconds(median(i, [](const StartRun &run) { return run.close; })),
                      FormatMiB(median(i, [](const StartRun &run) { return run.peakKiB; }))});
    }
    std::printf("medians of %d runs from exec; ratios to the empty journal's start; idle = "
                "mapped and no CPU used for %lld ms after (the quiet time itself not counted)\n",
                options.runs, (long long)quietTime.count());
    table.Print();

    double ownShare = 0;
    for (const auto &sizeRuns : runs)
        for (const StartRun &run : sizeRuns)
            ownShare = std::max(ownShare, run.ownCpuShare);
    std::printf("overhead of the method: X round trip %s (a MapNotify is seen within about "
                "that plus the %lld ms poll period), one CPU sample %s, the benchmark's own CPU "
                "use while waiting at most %.0f%% of a core\n",
                Milliseconds(session.RoundTripSeconds()).c_str(), (long long)samplePeriod.count(),
                Milliseconds(SampleCostSeconds()).c_str(), ownShare * 100);
#endif
}
