#pragma once
// What a soak reads off its own process after each round, and its verdict:
// the heap in use may grow by at most a given amount a round after warm-up
// (a least-squares slope, so one noisy round decides nothing), and the open
// handles, threads and windows may not climb.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace soak {

struct Figures {
    double heapKiB = 0;
    long handles = 0;  // open files, or kernel handles on Windows
    long threads = 0;
    long windows = 0;
};

struct Options {
    int rounds = 60;
    int warmup = 10;
    int polls = 2000;
    double limitKiB = 1.0;  // heap growth allowed a round after warm-up
    std::string styleSheet;  // the Qt host's application style sheet
};

// --rounds=N --warmup=N --style-sheet=CSS
inline Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* eq = std::strchr(arg, '=');
        const std::string name = eq ? std::string(arg, eq) : std::string(arg);
        const char* value = eq ? eq + 1 : "";
        if (name == "--rounds") options.rounds = std::atoi(value);
        else if (name == "--warmup") options.warmup = std::atoi(value);
        else if (name == "--style-sheet") options.styleSheet = value;
        else std::fprintf(stderr, "unknown option %s\n", arg), std::exit(2);
    }
    if (options.warmup < 0 || options.rounds < options.warmup + 2) {
        std::fprintf(stderr, "need --rounds at least --warmup + 2\n");
        std::exit(2);
    }
    return options;
}

class Log {
public:
    explicit Log(const Options& options) : options_(options) {
        rounds_.reserve(static_cast<std::size_t>(options.rounds));  // grows nothing while measured
        std::printf("%6s %12s %8s %8s %8s\n", "round", "heap KiB", "handles", "threads", "windows");
    }

    void Add(const Figures& figures) {
        rounds_.push_back(figures);
        std::printf("%6zu %12.1f %8ld %8ld %8ld\n", rounds_.size(), figures.heapKiB, figures.handles,
                    figures.threads, figures.windows);
        std::fflush(stdout);
    }

    // Prints the summary; 0 when nothing grew, 1 otherwise.
    int Verdict(const char* what) const {
        const std::size_t first = static_cast<std::size_t>(options_.warmup);
        const std::size_t n = rounds_.size() - first;
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (std::size_t i = first; i < rounds_.size(); ++i) {
            const double x = static_cast<double>(i), y = rounds_[i].heapKiB;
            sx += x, sy += y, sxx += x * x, sxy += x * y;
        }
        double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        if (std::fabs(slope) < 0.005) slope = 0;  // printed as +0.00, not -0.00
        const Figures& from = rounds_[first];
        const Figures& to = rounds_.back();
        std::printf("%s: %zu rounds after %d of warm-up: heap in use %.1f -> %.1f KiB, %+.2f KiB a round "
                    "(limit %.2f); handles %ld -> %ld, threads %ld -> %ld, windows %ld -> %ld\n",
                    what, n, options_.warmup, from.heapKiB, to.heapKiB, slope, options_.limitKiB, from.handles,
                    to.handles, from.threads, to.threads, from.windows, to.windows);
        bool grew = slope > options_.limitKiB;
        // Counts may wander within what they reached in the first half after
        // warm-up; a higher peak in the second half is growth.
        const std::size_t half = first + n / 2;
        for (long Figures::*count : {&Figures::handles, &Figures::threads, &Figures::windows}) {
            long early = 0, late = 0;
            for (std::size_t i = first; i < rounds_.size(); ++i)
                (i < half ? early : late) = std::max(i < half ? early : late, rounds_[i].*count);
            grew = grew || late > early;
        }
        std::printf("%s\n", grew ? "GROWS" : "FLAT");
        return grew ? 1 : 0;
    }

private:
    Options options_;
    std::vector<Figures> rounds_;
};

}  // namespace soak
