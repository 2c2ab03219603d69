// What the two fingerprint tools share: a hash of every value an engine
// produces, grouped by case, with a dump of the values to compare a changed
// build against. A speed change may change the arithmetic, but every value
// must stay within the tolerance (1e-6 of full scale by default) of the
// previous build's: --compare reports the largest difference and fails beyond
// it. The hashes only tell at a glance whether anything changed at all.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace orv::bench {

struct Hash {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  void bytes(const void* p, std::size_t count) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < count; ++i) h = (h ^ b[i]) * 1099511628211ull;
  }
};

struct Sink {
  Hash hash;
  std::vector<double>* values = nullptr;
  template <typename T>
  void add(T x) {
    hash.bytes(&x, sizeof x);
    if (values != nullptr) values->push_back(static_cast<double>(x));
  }
};

// Deterministic programme with silence, a sine chord, noise bursts, overs and,
// rarely, a non-finite sample.
inline double fingerprintProgramme(uint32_t& seed, std::size_t i, double rate, int channel) {
  seed = seed * 1664525u + 1013904223u;
  const double noise = static_cast<double>(seed) / 2147483648.0 - 1.0;
  const double t = static_cast<double>(i) / rate;
  const double section = std::fmod(t * 5.0, 1.0);
  double x;
  if (section < 0.1) x = 0.0;
  else if (section < 0.4) x = (0.05 + section) * noise;
  else if (section < 0.8) x = 0.4 * std::sin(6.283185307179586 * (220.0 + 110.0 * channel) * t);
  else x = 1.3 * std::sin(6.283185307179586 * 60.0 * t);  // overs and limiting
  if (i % 9973 == 5000) x = channel == 0 ? NAN : INFINITY;
  return x;
}

//   TOOL                 hash per group and in total
//   TOOL --dump FILE     also writes every hashed value as a double
//   TOOL --compare FILE  per group, how many values differ from such a dump and
//                        by how much; exit code 1 if any differs by more than
//   [--tolerance T]      T of full scale (default 1e-6)
class Fingerprint {
 public:
  Fingerprint(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
      if (std::strcmp(argv[i], "--dump") == 0) dump_ = argv[i + 1];
      else if (std::strcmp(argv[i], "--compare") == 0) compare_ = argv[i + 1];
      else if (std::strcmp(argv[i], "--tolerance") == 0) tolerance_ = std::atof(argv[i + 1]);
    }
  }

  // The sink for the next group of cases; call endGroup with its name when done.
  Sink& beginGroup() {
    sink_ = Sink{};
    if (!dump_.empty() || !compare_.empty()) sink_.values = &values_;
    groupBegin_ = values_.size();
    return sink_;
  }
  void endGroup(const std::string& name) {
    groups_.push_back({name, groupBegin_, values_.size()});
    std::printf("%-24s %016llx\n", name.c_str(), static_cast<unsigned long long>(sink_.hash.h));
    total_.bytes(&sink_.hash.h, sizeof sink_.hash.h);
  }

  // Prints the total and writes or compares the dump; returns the exit code.
  int finish() {
    std::printf("total %016llx\n", static_cast<unsigned long long>(total_.h));
    if (!dump_.empty()) {
      FILE* f = std::fopen(dump_.c_str(), "wb");
      const bool written = f != nullptr && std::fwrite(values_.data(), sizeof(double), values_.size(), f) == values_.size();
      if (f != nullptr) std::fclose(f);
      if (!written) {
        std::fprintf(stderr, "cannot write %s\n", dump_.c_str());
        return 1;
      }
    }
    if (!compare_.empty()) {
      std::vector<double> old(values_.size());
      FILE* f = std::fopen(compare_.c_str(), "rb");
      const bool read = f != nullptr && std::fread(old.data(), sizeof(double), old.size(), f) == old.size();
      if (f != nullptr) std::fclose(f);
      if (!read) {
        std::fprintf(stderr, "cannot read %s\n", compare_.c_str());
        return 1;
      }
      double largest = 0.0;
      for (const Group& g : groups_) largest = std::max(largest, compareGroup(g, old));
      const bool within = largest <= tolerance_;
      std::printf("largest difference %.3g of full scale (tolerance %.3g): %s\n", largest, tolerance_,
                  within ? "within" : "EXCEEDED");
      return within ? 0 : 1;
    }
    return 0;
  }

 private:
  struct Group {
    std::string name;
    std::size_t begin, end;
  };

  // Returns the group's largest difference.
  double compareGroup(const Group& g, const std::vector<double>& old) const {
    double worst = 0.0, worstA = 0.0, worstB = 0.0;
    std::size_t differing = 0, worstAt = 0;
    for (std::size_t i = g.begin; i < g.end; ++i) {
      const double a = values_[i], b = old[i];
      if (a == b || (std::isnan(a) && std::isnan(b))) continue;
      ++differing;
      // Of full scale for samples and meter levels; relative for the few
      // values that are larger (dB figures). A value that became or stopped
      // being finite counts as infinitely far.
      const double scale = std::max({std::fabs(a), std::fabs(b), 1.0});
      const double d = std::isfinite(a) && std::isfinite(b) ? std::fabs(a - b) / scale : INFINITY;
      if (d > worst) {
        worst = d;
        worstA = a, worstB = b, worstAt = i - g.begin;
      }
    }
    std::printf("%-24s values %zu, differing %zu, largest difference %.3g", g.name.c_str(), g.end - g.begin,
                differing, worst);
    if (differing > 0) std::printf(" (value %zu: %.17g, was %.17g)", worstAt, worstA, worstB);
    std::printf("\n");
    return worst;
  }

  std::string dump_, compare_;
  double tolerance_ = 1e-6;
  std::vector<double> values_;
  std::vector<Group> groups_;
  std::size_t groupBegin_ = 0;
  Sink sink_;
  Hash total_;
};

}  // namespace orv::bench
