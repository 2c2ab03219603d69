// Our two modules against another VST 2.4 stereo effect, all through the same
// loading harness (bench/module_bench.h), the same programme and 64-frame
// blocks: Orv Valdris plain and Orv Nimlet stereo Smooth at 44.1 kHz and Orv
// Valdris FAT+Smooth at 192 kHz in their benchmark settings, the other module
// in its own defaults at both rates. Prints our time per frame over the
// other's at the same rate; the targets are 1.0, 0.5 and 4.0.
//
// The machine drifts from minute to minute, so by default the repetitions of
// all benchmarks run interleaved in random order (ours, peer, ours, peer ...)
// and the ratios are of medians taken over the same minutes.
//
//   peer_bench --peer=OTHER.so     times the other module too
//   peer_bench --peer-ns=NS        compares with a figure measured elsewhere
//                                  (44.1 kHz; the 192 kHz ratio needs --peer)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_settings.h"
#include "bench/bench_support.h"
#include "bench/module_bench.h"
#include "tests/support/scoped_config_home.h"

namespace {

using namespace orv::bench;

constexpr double kRate = 44100.0;
constexpr double kHighRate = 192000.0;
constexpr const char* kValdris = "module/OrvValdris/plain";
constexpr const char* kNimlet = "module/OrvNimlet/stereo-Smooth";
constexpr const char* kValdrisHeavy = "module/OrvValdris/FAT+Smooth/192000";
constexpr const char* kPeer = "module/peer";
constexpr const char* kPeerHigh = "module/peer/192000";

struct Target {
  const char* name;
  const char* peer;
  double ratio;
};
constexpr Target kTargets[] = {{kValdris, kPeer, 1.0}, {kNimlet, kPeer, 0.5}, {kValdrisHeavy, kPeerHigh, 4.0}};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(double peerNs) : peerNs_(peerNs) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      auto it = run.counters.find("ns_per_frame");
      if (it != run.counters.end() && !run.error_occurred) ns_[run.run_name.str()] = it->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n");
    for (const Target& t : kTargets) {
      const auto ours = ns_.find(t.name);
      const auto peer = ns_.find(t.peer);
      const bool given = peer == ns_.end() && t.peer == kPeer && peerNs_ > 0.0;
      if (ours == ns_.end() || (peer == ns_.end() && !given)) continue;
      const double peerNs = given ? peerNs_ : peer->second;
      const double ratio = ours->second / peerNs;
      std::printf("%-36s %7.1f ns/frame  peer %7.1f%s  ours/peer %.2f  (target <= %.1f: %s)\n", t.name,
                  ours->second, peerNs, given ? " (given)" : "", ratio, t.ratio, ratio <= t.ratio ? "met" : "not met");
      printed_ = true;
    }
    if (!printed_) std::printf("no peer: give --peer=OTHER.so or --peer-ns=NS for the ratios\n");
  }

 private:
  double peerNs_;
  bool printed_ = false;
  std::map<std::string, double> ns_;
};

// Takes --peer=... and --peer-ns=... out of argv, leaving Google Benchmark's own.
void takeOptions(int& argc, char** argv, std::string& peer, double& peerNs) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--peer=", 7) == 0) peer = argv[i] + 7;
    else if (std::strncmp(argv[i], "--peer-ns=", 10) == 0) peerNs = std::atof(argv[i] + 10);
    else argv[kept++] = argv[i];
  }
  argc = kept;
}

}  // namespace

int main(int argc, char** argv) {
  // Instances read and write their meter settings: keep them in a private folder.
  orv::testing::ScopedConfigHome home;
  std::string peer;
  double peerNs = 0.0;
  takeOptions(argc, argv, peer, peerNs);
  benchmark::RegisterBenchmark(kValdris, [](benchmark::State& s) {
    runModule(s, ORV_VALDRIS_PLUGIN_PATH, valdrisSettings(false, false), kRate);
  });
  benchmark::RegisterBenchmark(kNimlet, [](benchmark::State& s) {
    runModule(s, ORV_NIMLET_PLUGIN_PATH, nimletSettings(true, true), kRate);
  });
  benchmark::RegisterBenchmark(kValdrisHeavy, [](benchmark::State& s) {
    runModule(s, ORV_VALDRIS_PLUGIN_PATH, valdrisSettings(true, true), kHighRate);
  });
  if (!peer.empty()) {
    benchmark::RegisterBenchmark(kPeer, [peer](benchmark::State& s) { runModule(s, peer, {}, kRate); });
    benchmark::RegisterBenchmark(kPeerHigh, [peer](benchmark::State& s) { runModule(s, peer, {}, kHighRate); });
  }
  // Interleaved repetitions unless the caller chose otherwise.
  std::vector<char*> args(argv, argv + argc);
  bool chosen = false;
  for (int i = 1; i < argc; ++i)
    chosen = chosen || std::strncmp(argv[i], "--benchmark_enable_random_interleaving", 38) == 0 ||
             std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  static char repetitions[] = "--benchmark_repetitions=6";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  if (!chosen) {
    args.push_back(interleave);
    args.push_back(repetitions);
    args.push_back(aggregates);
  }
  args.push_back(nullptr);
  argc = static_cast<int>(args.size()) - 1;
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(peerNs);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
