// Throughput of sonivar-dat check, export --wav, spectrum and listen (60 s
// of the recording, against real time) on a large recording that
// sits in the page cache, side by side with `cat RECORDING.dat > /dev/null`
// in the same run, and the peak memory of each command. A plain copy of the
// recording into the same folder (dd, 128 KiB blocks) shows what writing a
// file of that size costs there: no export can be faster than it. Then the
// peak memory of map sequences of 10, 100 and 1 000 slices and of listening
// to the first 10 s, and the time a 10 s video of the map takes.
#include "recording_maker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Timing {
    double seconds = 0;
    double cpu_seconds = 0;  // user + system: less sensitive to a busy machine
    long max_rss_kib = 0;
    int status = 0;
};

// Runs `argv` with stdout redirected to `out` (stderr to /dev/null), timed.
Timing run(const std::vector<std::string>& argv, const char* out)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(fd, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    Timing t;
    struct rusage usage {};
    wait4(pid, &t.status, 0, &usage);
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.max_rss_kib = usage.ru_maxrss;
    const auto secs = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
    t.cpu_seconds = secs(usage.ru_utime) + secs(usage.ru_stime);
    return t;
}

// The best of five runs, each writing `fresh` anew (removed first, untimed).
Timing best(const std::vector<std::string>& argv, const char* out, const fs::path& fresh = {})
{
    Timing b;
    for (int i = 0; i < 5; ++i) {
        if (!fresh.empty())
            fs::remove(fresh);
        const Timing t = run(argv, out);
        if (i == 0)
            b = t;
        if (t.seconds < b.seconds)
            b = t;
    }
    return b;
}

// A recording of `mib` MiB: 32 microphones and the counter, frames written in
// blocks so that making it takes no more memory than the tool.
fs::path make_recording(const fs::path& dir, std::uint64_t mib)
{
    testsupport::RecordingPlan plan;
    plan.micros.clear();
    for (int m = 0; m < 32; ++m)
        plan.micros.push_back(m);
    const std::uint64_t frames = (mib << 20) / (4 * 33);
    plan.frames = static_cast<std::uint32_t>(frames);
    const fs::path dat = testsupport::write_recording(dir, "bench", plan, {});
    std::ofstream out(dat, std::ios::binary | std::ios::trunc);
    std::vector<std::uint32_t> block;
    for (std::uint64_t f = 0; f < frames;) {
        block.clear();
        for (int k = 0; k < 8192 && f < frames; ++k, ++f) {
            block.push_back(static_cast<std::uint32_t>(f));
            for (int m = 0; m < 32; ++m)
                block.push_back(static_cast<std::uint32_t>(f * 2654435761u + m));
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 4));
    }
    return dat;
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    const fs::path dir = base / ("sonivar-dat-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path dat = make_recording(dir, mib);
    const std::string wav = (dir / "bench.wav").string();
    const double mb = static_cast<double>(fs::file_size(dat)) / 1e6;

    run({"cat", dat.string()}, "/dev/null");  // into the page cache
    const Timing cat = best({"cat", dat.string()}, "/dev/null");
    const Timing check = best({SONIVAR_DAT_PROGRAM, "check", dat.string()}, "/dev/null");
    const Timing exp =
        best({SONIVAR_DAT_PROGRAM, "export", dat.string(), "--wav", wav}, "/dev/null", wav);
    const Timing spectrum = best({SONIVAR_DAT_PROGRAM, "spectrum", dat.string()}, "/dev/null");
    const Timing listen = best({SONIVAR_DAT_PROGRAM, "listen", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY,
                                "--at", "0.3,-0.2,1", "--to", "60", "--wav", wav},
                               "/dev/null", wav);
    const Timing copy = best({"dd", "if=" + dat.string(), "of=" + wav, "bs=128K", "status=none"},
                             "/dev/null", wav);

    std::printf("recording: %.0f MB (%s)\n", mb, dat.c_str());
    const auto line = [&](const char* what, const Timing& t) {
        std::printf("%-13s %6.3f s %6.0f MB/s %5.2f of cat | cpu %6.3f s %5.2f of cat | "
                    "peak RSS %6ld KiB | exit %d\n",
                    what, t.seconds, mb / t.seconds, cat.seconds / t.seconds, t.cpu_seconds,
                    cat.cpu_seconds / t.cpu_seconds, t.max_rss_kib, WEXITSTATUS(t.status));
    };
    line("cat", cat);
    line("check", check);
    line("export --wav", exp);
    line("spectrum", spectrum);
    std::printf("spectrum / check throughput: %.2f\n", check.seconds / spectrum.seconds);
    std::printf("listen 60 s (50 kHz, 32 micros): %.3f s, %.0f x real time | cpu %.3f s | peak RSS %ld KiB | exit %d\n",
                listen.seconds, 60.0 / listen.seconds, listen.cpu_seconds, listen.max_rss_kib,
                WEXITSTATUS(listen.status));
    line("copy (dd)", copy);
    // Peak memory of map sequences: flat whatever the number of slices (each
    // map waits on disk for the common scale), on a fine grid (201 x 201).
    const double seconds = static_cast<double>(fs::file_size(dat) / (4 * 33)) / 50000.0;
    bool sequences_ok = true;
    for (const int slices : {10, 100, 1000}) {
        const fs::path folder = dir / ("slices" + std::to_string(slices));
        char every[32];
        std::snprintf(every, sizeof every, "%.6f", seconds / slices);
        const Timing t = run({SONIVAR_DAT_PROGRAM, "map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY,
                              "--freq", "3150", "--step", "0.01", "--every", every, "--png-dir", folder.string()},
                             "/dev/null");
        std::printf("map --every (%4d slices, 201 x 201): %7.3f s | peak RSS %6ld KiB | exit %d\n", slices,
                    t.seconds, t.max_rss_kib, WEXITSTATUS(t.status));
        sequences_ok = sequences_ok && WEXITSTATUS(t.status) == 0;
        fs::remove_all(folder);
    }
    const Timing listen10 = run({SONIVAR_DAT_PROGRAM, "listen", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY,
                                 "--at", "0.3,-0.2,1", "--to", "10", "--wav", wav},
                                "/dev/null");
    std::printf("listen --to 10 on %.0f MB: %.3f s | peak RSS %ld KiB | exit %d\n", mb, listen10.seconds,
                listen10.max_rss_kib, WEXITSTATUS(listen10.status));
    // A 10 s stretch as a video at 25 images a second: 250 maps, framed and
    // encoded.
    const std::string mp4 = (dir / "carte.mp4").string();
    const Timing video = run({SONIVAR_DAT_PROGRAM, "map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY,
                              "--freq", "3150", "--to", "10", "--video", mp4},
                             "/dev/null");
    std::printf("map --video of 10 s (250 images, 41 x 41): %.3f s, %.1f x real time | peak RSS %ld KiB | exit %d\n",
                video.seconds, 10.0 / video.seconds, video.max_rss_kib, WEXITSTATUS(video.status));
    fs::remove_all(dir);
    const bool ok = WEXITSTATUS(check.status) == 0 && WEXITSTATUS(exp.status) == 0 &&
                    WEXITSTATUS(spectrum.status) == 0 && WEXITSTATUS(listen.status) == 0 && sequences_ok &&
                    WEXITSTATUS(video.status) == 0;
    return ok ? 0 : 1;
}
