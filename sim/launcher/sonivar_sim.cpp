// sonivar-sim [options] -- PROGRAM [ARGS]
//
// Puts a simulated Sonivar 32 on a simulated USB bus and runs an unmodified
// program against it: the program is started under the umockdev preload with
// this process's testbed, and this process answers the unit's side until the
// program exits; its exit status is returned. Keys, from a terminal, a pipe
// or a FIFO (--control), drive the unit's external inputs and cable while the
// program runs, so that demos and checks can be scripted.
#include "scene.h"
#include "simulated_unit.h"
#include "camera/camera_optics.h"
#include "camera/simulated_camera.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Options {
    bool paced = false;
    bool absent = false;
    bool silent = false;
    bool ignore_stop = false;
    bool plain_memory = false;
    bool camera = false;
    std::optional<unsigned long long> unplug_after;
    std::string geometry;
    std::string control;  // a FIFO to read keys from instead of stdin
    std::string requests; // where the unit's vendor requests are written at the end
    std::optional<std::array<double, 4>> source;  // x, y, z in metres, frequency in Hz
    std::optional<sim::Calibrator> calibrator;
    std::vector<char*> command;
};

void usage(std::FILE* to)
{
    std::fputs("usage: sonivar-sim [options] -- PROGRAM [ARGS]\n"
               "  --paced              stream at the programmed sample clock (default: as fast\n"
               "                       as the program reads)\n"
               "  --absent             start with the unit unplugged\n"
               "  --silent             the unit answers commands but never streams\n"
               "  --ignore-stop        after Stop the data ends without its short packet\n"
               "  --unplug-after N     pull the cable once N stream bytes are sent\n"
               "  --plain-memory       no zero-copy memory for the program's transfers (by\n"
               "                       default the unit writes into them as data falls due)\n"
               "  --geometry FILE      microphone positions from a MicGeom XML file (default:\n"
               "                       the example plane grid of 4 cm pitch)\n"
               "  --source X,Y,Z,FREQ  a tone from a fixed point (metres, Hz) instead of the\n"
               "                       source circling 1 m in front of the array\n"
               "  --calibrator MIC[,DB[,HZ]]  a sound calibrator over microphone MIC (global\n"
               "                       index): it hears the calibrator alone, DB SPL (94) at HZ\n"
               "                       (1000); the microphones read -26 dBFS at 94 dB SPL\n"
               "  --camera             a webcam films the scene (/dev/video0, V4L2, YUYV 640 x\n"
               "                       480 at 25 images/s; horizontal field of view 60 degrees,\n"
               "                       60 mm below the array's centre, along its axis)\n"
               "  --requests FILE      at the end, every vendor request the unit received, one\n"
               "                       per line: the request code, then the data bytes, in hex\n"
               "  --control FIFO       read the keys from FIFO (created when missing) instead\n"
               "                       of stdin; stdin then belongs to PROGRAM\n"
               "  -h, --help           this text\n"
               "keys (from stdin, a terminal or a pipe, or from --control FIFO; one byte\n"
               "each, no Enter needed on a terminal): 1 / 2 toggle external input 1 / 2,\n"
               "u unplug or replug the unit, s silent on/off, p paced on/off, c the\n"
               "calibrator on the next microphone (off after the last), i state,\n"
               "v unplug or replug the camera, h the keys; each key is answered with the unit's state on stderr.\n"
               "  example: mkfifo keys; sonivar-sim --control keys -- PROGRAM &\n"
               "           echo 1 > keys\n",
               to);
}

// "MIC[,DB[,HZ]]": a microphone index, then optionally the level and the
// frequency.
std::optional<sim::Calibrator> parse_calibrator(const char* text)
{
    sim::Calibrator c;
    char* end = nullptr;
    const long mic = std::strtol(text, &end, 10);
    if (end == text || mic < 0 || mic > 31)
        return std::nullopt;
    c.mic = static_cast<int>(mic);
    for (double* field : {&c.level_db, &c.frequency}) {
        if (*end == '\0')
            break;
        const char* at = end + 1;
        if (*end != ',' || (*field = std::strtod(at, &end), end == at))
            return std::nullopt;
    }
    if (*end != '\0' || !(c.frequency > 0.0))
        return std::nullopt;
    return c;
}

// The calibrator moves to the next microphone; after the last, it is off.
void next_calibrator(sim::SimulatedUnit& unit)
{
    const auto now = unit.calibrator();
    const sim::Calibrator c = now.value_or(sim::Calibrator{-1});
    if (c.mic >= 31)
        unit.clear_calibrator();
    else
        unit.set_calibrator(c.mic + 1, c.level_db, c.frequency);
    const auto after = unit.calibrator();
    if (after)
        std::fprintf(stderr, "sonivar-sim: calibrator on microphone %d, %.1f dB SPL at %.0f Hz\n", after->mic,
                     after->level_db, after->frequency);
    else
        std::fputs("sonivar-sim: calibrator off\n", stderr);
}

// "X,Y,Z,FREQ": four numbers, nothing else.
std::optional<std::array<double, 4>> parse_source(const char* text)
{
    std::array<double, 4> v{};
    const char* at = text;
    for (std::size_t i = 0; i < v.size(); ++i) {
        char* end = nullptr;
        v[i] = std::strtod(at, &end);
        if (end == at || *end != (i + 1 < v.size() ? ',' : '\0'))
            return std::nullopt;
        at = end + 1;
    }
    return v;
}

std::optional<Options> parse(int argc, char** argv)
{
    Options o;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string a = argv[i];
        if (a == "--paced")
            o.paced = true;
        else if (a == "--absent")
            o.absent = true;
        else if (a == "--silent")
            o.silent = true;
        else if (a == "--ignore-stop")
            o.ignore_stop = true;
        else if (a == "--plain-memory")
            o.plain_memory = true;
        else if (a == "--camera")
            o.camera = true;
        else if (a == "--unplug-after" && i + 1 < argc)
            o.unplug_after = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--requests" && i + 1 < argc)
            o.requests = argv[++i];
        else if (a == "--control" && i + 1 < argc)
            o.control = argv[++i];
        else if (a == "--geometry" && i + 1 < argc)
            o.geometry = argv[++i];
        else if (a == "--source" && i + 1 < argc && (o.source = parse_source(argv[i + 1])))
            ++i;
        else if (a == "--calibrator" && i + 1 < argc && (o.calibrator = parse_calibrator(argv[i + 1])))
            ++i;
        else
            return std::nullopt;
    }
    for (++i; i < argc; ++i)
        o.command.push_back(argv[i]);
    if (o.command.empty())
        return std::nullopt;
    o.command.push_back(nullptr);
    return o;
}

constexpr const char* umockdev_preload = "libumockdev-preload.so.0";

// The unit's zero-copy preload, beside this launcher; empty when missing.
std::string zero_copy_preload()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    std::string path(self, static_cast<std::size_t>(n));
    path = path.substr(0, path.find_last_of('/') + 1) + "libsonivar-zero-copy.so";
    return access(path.c_str(), R_OK) == 0 ? path : std::string();
}

// The child's environment: ours (which has the preload), with the testbed
// named, and the zero-copy preload loaded first.
std::vector<std::string> child_environment(const std::string& root)
{
    std::string preload = umockdev_preload;
    if (const char* old = std::getenv("LD_PRELOAD"); old != nullptr && *old != '\0')
        preload = std::string(old).find("umockdev") != std::string::npos ? old : preload + ":" + old;
    if (const std::string zero_copy = zero_copy_preload();
        !zero_copy.empty() && preload.find(zero_copy) == std::string::npos)
        preload = zero_copy + ":" + preload;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0 && std::strncmp(*e, "UMOCKDEV_DIR=", 13) != 0)
            env.emplace_back(*e);
    env.push_back("LD_PRELOAD=" + preload);
    env.push_back("UMOCKDEV_DIR=" + root);
    return env;
}

pid_t start_child(const Options& o, const std::string& root)
{
    std::vector<std::string> env = child_environment(root);
    std::vector<char*> envp;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, o.command[0], nullptr, nullptr, o.command.data(), envp.data());
    if (err != 0) {
        std::fprintf(stderr, "sonivar-sim: cannot start %s: %s\n", o.command[0], std::strerror(err));
        return -1;
    }
    return pid;
}

// Keys are read one at a time, unechoed, while the terminal is ours.
class RawTerminal {
public:
    RawTerminal()
    {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios raw = saved_;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawTerminal()
    {
        if (active_)
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    bool active() const { return active_; }

private:
    termios saved_{};
    bool active_ = false;
};

void print_help()
{
    std::fputs("sonivar-sim keys: 1 / 2 toggle external input 1 / 2, u unplug or replug the\n"
               "  unit, s silent on/off, p paced on/off, c the calibrator on the next microphone\n"
               "  (then off after the last), v unplug or replug the camera, i state, h this help\n",
               stderr);
}

void print_state(const sim::SimulatedUnit& unit, bool silent, bool paced)
{
    std::fprintf(stderr,
                 "sonivar-sim: unit %s, input 1 %s, input 2 %s, %s, %s, %llu bytes sent\n",
                 unit.attached() ? "plugged in" : "unplugged", unit.input(1) ? "high" : "low",
                 unit.input(2) ? "high" : "low",
                 silent ? "silent (never streams)" : unit.streaming() ? "streaming" : "idle",
                 paced ? "paced" : "unpaced", static_cast<unsigned long long>(unit.bytes_sent()));
}

void handle_key(char key, sim::SimulatedUnit& unit, sim::camera::SimulatedCamera* camera, bool& silent, bool& paced)
{
    switch (key) {
    case '1':
    case '2': {
        const int input = key - '0';
        unit.set_input(input, !unit.input(input));
        break;
    }
    case 'u':
        if (unit.attached())
            unit.detach();
        else
            unit.attach();
        break;
    case 's':
        silent = !silent;
        unit.set_silent(silent);
        break;
    case 'p':
        paced = !paced;
        unit.set_paced(paced);
        break;
    case 'c': next_calibrator(unit); break;
    case 'v':
        if (camera == nullptr)
            return;
        if (camera->plugged())
            camera->unplug();
        else
            camera->plug();
        std::fprintf(stderr, "sonivar-sim: camera %s\n", camera->plugged() ? "plugged in" : "unplugged");
        break;
    case 'i': break;
    case 'h':
    case '?': print_help(); return;
    default: return;
    }
    print_state(unit, silent, paced);
}

volatile sig_atomic_t pending_signal = 0;
void remember_signal(int sig) { pending_signal = sig; }

// Where the keys come from: the FIFO of --control, opened read-write so that
// writers may come and go without an end of file; or stdin, whatever it is.
// -1 once the source has ended (stdin at end of file).
int open_key_source(const Options& o)
{
    if (o.control.empty())
        return STDIN_FILENO;
    if (mkfifo(o.control.c_str(), 0600) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "sonivar-sim: cannot create %s: %s\n", o.control.c_str(), std::strerror(errno));
        return -1;
    }
    const int fd = open(o.control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        std::fprintf(stderr, "sonivar-sim: cannot open %s: %s\n", o.control.c_str(), std::strerror(errno));
    return fd;
}

// Handles the keys waiting on `fd`; false once it has ended.
bool read_keys(int fd, sim::SimulatedUnit& unit, sim::camera::SimulatedCamera* camera, Options& o)
{
    char keys[64];
    const ssize_t n = read(fd, keys, sizeof keys);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        return false;
    for (ssize_t i = 0; i < n; ++i)
        handle_key(keys[i], unit, camera, o.silent, o.paced);
    return true;
}

// Serves the unit until the child exits; returns the child's exit status.
int serve(pid_t child, sim::SimulatedUnit& unit, sim::camera::SimulatedCamera* camera, Options& o)
{
    std::optional<RawTerminal> terminal;
    int keys = open_key_source(o);
    if (keys == STDIN_FILENO)
        terminal.emplace();
    if (terminal && terminal->active()) {
        print_help();
        print_state(unit, o.silent, o.paced);
    }
    for (;;) {
        if (pending_signal != 0) {
            kill(child, pending_signal);
            pending_signal = 0;
        }
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pollfd in{keys, POLLIN, 0};
        const int ready = poll(&in, keys >= 0 ? 1 : 0, 100);
        if (ready > 0 && (in.revents & (POLLIN | POLLHUP | POLLERR)) && !read_keys(keys, unit, camera, o))
            keys = -1;  // stdin ended: the unit goes on without keys
    }
}

// "b1 02 01" per request: what the program asked of the unit, in order.
void write_requests(const std::string& path, const sim::SimulatedUnit& unit)
{
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "sonivar-sim: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return;
    }
    for (const sim::Request& r : unit.requests()) {
        std::fprintf(out, "%02x", r.request);
        for (std::uint8_t byte : r.data)
            std::fprintf(out, " %02x", byte);
        std::fputc('\n', out);
    }
    std::fclose(out);
}

} // namespace

// This process runs under the umockdev preload too: the testbed's uevents
// name the device by its sysfs path, which only the preload finds in the
// testbed. Without it every plug and unplug went unannounced.
void run_under_the_preload(char** argv)
{
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::strstr(preload, umockdev_preload) != nullptr)
        return;
    std::string value = umockdev_preload;
    if (preload != nullptr && *preload != '\0')
        value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    // A sanitized build would refuse a library loaded before its runtime.
    // Its log_path is dropped: the runtime creates the log's folder before
    // the preload has found the system's mkdir, and crashed there.
    std::string asan = "verify_asan_link_order=0";
    std::istringstream old(std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "");
    for (std::string option; std::getline(old, option, ':');) {
        if (option.rfind("log_path=", 0) == 0)
            std::fprintf(stderr, "sonivar-sim: ASAN_OPTIONS %s ignored under %s (reports go to stderr)\n",
                         option.c_str(), umockdev_preload);
        else if (!option.empty())
            asan += ":" + option;
    }
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "sonivar-sim: cannot restart under %s: %s\n", umockdev_preload, std::strerror(errno));
}

int main(int argc, char** argv)
{
    run_under_the_preload(argv);
    std::optional<Options> options = parse(argc, argv);
    if (!options) {
        const bool help = argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0);
        usage(help ? stdout : stderr);
        return help ? 0 : 2;
    }
    Options& o = *options;
    sim::SimulatedUnit unit(!o.absent);
    unit.set_paced(o.paced);
    unit.set_silent(o.silent);
    unit.ignore_stop(o.ignore_stop);
    unit.set_zero_copy(!o.plain_memory);
    if (o.unplug_after)
        unit.unplug_after(*o.unplug_after);
    if (!o.geometry.empty() && !unit.set_geometry_file(o.geometry)) {
        std::fprintf(stderr, "sonivar-sim: %s is not a geometry of 32 microphones\n", o.geometry.c_str());
        return 2;
    }
    if (o.source) {
        const auto [x, y, z, frequency] = *o.source;
        unit.set_point_source(x, y, z, frequency, sim::scene_amplitude);
    }
    if (o.calibrator)
        unit.set_calibrator(o.calibrator->mic, o.calibrator->level_db, o.calibrator->frequency);
    std::unique_ptr<sim::camera::SimulatedCamera> camera;
    if (o.camera)
        camera = std::make_unique<sim::camera::SimulatedCamera>(unit);

    struct sigaction forward {};
    forward.sa_handler = remember_signal;
    sigaction(SIGINT, &forward, nullptr);
    sigaction(SIGTERM, &forward, nullptr);
    sigaction(SIGHUP, &forward, nullptr);

    const pid_t child = start_child(o, unit.root_dir());
    if (child < 0)
        return 127;
    const int status = serve(child, unit, camera.get(), o);
    if (!o.requests.empty())
        write_requests(o.requests, unit);
    return status;
}
