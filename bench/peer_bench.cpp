// Our two modules against another VST 2.4 stereo effect, all through the same
// loading harness (bench/module_bench.h), the same programme, 44.1 kHz and
// 64-frame blocks: Orv Valdris plain and Orv Nimlet stereo Smooth in their
// benchmark settings, the other module in its own defaults. Prints our time
// per frame over the other's; the targets are 1.0 for Valdris and 0.5 for
// Nimlet.
//
//   peer_bench --peer=OTHER.so     times the other module too
//   peer_bench --peer-ns=NS        compares with a figure measured elsewhere
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "bench/bench_settings.h"
#include "bench/bench_support.h"
#include "bench/module_bench.h"
#include "tests/support/scoped_config_home.h"

namespace {

using namespace orv::bench;

constexpr double kRate = 44100.0;
constexpr const char* kValdris = "module/OrvValdris/plain";
constexpr const char* kNimlet = "module/OrvNimlet/stereo-Smooth";
constexpr const char* kPeer = "module/peer";

struct Target {
  const char* name;
  double ratio;
};
constexpr Target kTargets[] = {{kValdris, 1.0}, {kNimlet, 0.5}};

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
    const auto peer = ns_.find(kPeer);
    const double peerNs = peer != ns_.end() ? peer->second : peerNs_;
    if (!(peerNs > 0.0)) {
      std::printf("\nno peer: give --peer=OTHER.so or --peer-ns=NS for the ratios\n");
      return;
    }
    std::printf("\npeer: %.1f ns/frame%s\n", peerNs, peer != ns_.end() ? "" : " (given)");
    for (const Target& t : kTargets) {
      const auto ours = ns_.find(t.name);
      if (ours == ns_.end()) continue;
      const double ratio = ours->second / peerNs;
      std::printf("%-32s %7.1f ns/frame  ours/peer %.2f  (target <= %.1f: %s)\n", t.name, ours->second, ratio,
                  t.ratio, ratio <= t.ratio ? "met" : "not met");
    }
  }

 private:
  double peerNs_;
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
  if (!peer.empty())
    benchmark::RegisterBenchmark(kPeer, [peer](benchmark::State& s) { runModule(s, peer, {}, kRate); });
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(peerNs);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
