#include "tools/orv-render/display_values.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "tools/orv-render/error.h"
#include "tools/orv-render/text_match.h"

namespace orv::render {

namespace {

constexpr int kGrid = 256;      // texts sampled at i / kGrid
constexpr size_t kSteps = 32;   // at most this many distinct numbers: a stepped parameter
constexpr size_t kListed = 6;   // word parameters with at most this many texts list them all

// Units compared without blanks or case: " : 1" and ":1", "ms" and "MS".
std::string folded(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isspace(u)) out += static_cast<char>(std::tolower(u));
  }
  return out;
}

// Scale of a unit within its family, for typing "1s" where the plug-in shows "ms".
double unitScale(const std::string& unit) {
  if (unit == "ms") return 1e-3;
  if (unit == "s") return 1.0;
  if (unit == "hz") return 1.0;
  if (unit == "khz") return 1e3;
  return 0.0;
}

float nextDown(float x) { return std::bit_cast<float>(std::bit_cast<uint32_t>(x) - 1); }

// Normalised values a person would write, simplest first; the first one that shows the wanted
// text is the value used, so "On" is 1 and "GainRed" 0.5.
template <typename Accept>
std::optional<float> simplestValue(Accept&& accept) {
  for (float v : {0.0f, 1.0f, 0.5f}) {
    if (accept(v)) return v;
  }
  for (int scale : {10, 100, 1000}) {
    for (int k = 1; k < scale; ++k) {
      const auto v = static_cast<float>(static_cast<double>(k) / scale);
      if (accept(v)) return v;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<DisplayNumber> parseDisplayNumber(std::string_view text) {
  const std::string t = trim(text);
  size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
  const size_t digits = i;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
  if (i == digits) return std::nullopt;
  DisplayNumber n;
  if (i < t.size() && t[i] == '.') {
    const size_t point = ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    n.decimals = static_cast<int>(i - point);
  }
  n.value = std::strtod(t.substr(0, i).c_str(), nullptr);
  n.unit = trim(t.substr(i));
  return n;
}

std::optional<double> parsePlainNumber(std::string_view text) {
  const std::string t = trim(text);
  if (t.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(t.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

ParameterScale::ParameterScale(std::string name, Display display)
    : name_(std::move(name)), display_(std::move(display)) {
  std::vector<std::string> grid;
  for (int i = 0; i <= kGrid; ++i) grid.push_back(display_(static_cast<float>(static_cast<double>(i) / kGrid)));

  // Numbers in one unit that never turn back are searched by value.
  std::vector<double> numbers;
  numeric_ = true;
  for (const auto& text : grid) {
    const auto n = parseDisplayNumber(text);
    if (!n || (!numbers.empty() && folded(n->unit) != folded(unit_))) {
      numeric_ = false;
      break;
    }
    if (numbers.empty()) unit_ = n->unit;
    numbers.push_back(n->value);
    decimals_ = std::max(decimals_, n->decimals);
  }
  if (numeric_) {
    low_ = numbers.front();
    high_ = numbers.back();
    increasing_ = high_ > low_;
    numeric_ = high_ != low_;
    for (size_t i = 1; numeric_ && i < numbers.size(); ++i) {
      if (increasing_ ? numbers[i] < numbers[i - 1] : numbers[i] > numbers[i - 1]) numeric_ = false;
    }
  }
  for (const auto& text : grid) {
    if (std::find(texts_.begin(), texts_.end(), text) == texts_.end()) texts_.push_back(text);
  }
  if (numeric_) {
    range_ = grid.front() + " to " + grid.back();
    std::vector<double> distinct = numbers;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() <= kSteps) range_ += " in " + std::to_string(distinct.size()) + " steps";
  } else if (texts_.size() == 1 && texts_[0].empty()) {
    texts_.clear();  // a spare slot: nothing to show or type
  } else if (texts_.size() <= kListed) {
    for (size_t i = 0; i < texts_.size(); ++i) range_ += (i ? " | " : "") + texts_[i];
  } else {
    range_ = texts_.front() + " to " + texts_.back();
  }
}

float ParameterScale::valueFor(const std::string& typed) const {
  if (range_.empty()) throw Error(name_ + " shows no value; set it with a normalised value 0..1");
  return numeric_ ? numericValue(typed) : textValue(typed);
}

void ParameterScale::refuse(const std::string& typed, const std::string& why) const {
  throw Error(name_ + "=" + trim(typed) + ": " + why + "; " + name_ + " takes " + range_ + ", or 0..1 normalised");
}

double ParameterScale::numberAt(float normalised) const {
  const auto n = parseDisplayNumber(display_(normalised));
  return n ? n->value : std::nan("");
}

float ParameterScale::firstReaching(double target) const {
  const double sign = increasing_ ? 1.0 : -1.0;
  const auto reached = [&](float v) { return sign * numberAt(v) >= sign * target; };
  if (reached(0.0f)) return 0.0f;
  if (!reached(1.0f)) return 1.0f;
  // Floats from 0 to 1 are ordered like their bit patterns.
  uint32_t lo = 0, hi = std::bit_cast<uint32_t>(1.0f);
  while (hi - lo > 1) {
    const uint32_t mid = lo + (hi - lo) / 2;
    (reached(std::bit_cast<float>(mid)) ? hi : lo) = mid;
  }
  return std::bit_cast<float>(hi);
}

float ParameterScale::lastNotBeyond(double target) const {
  const double sign = increasing_ ? 1.0 : -1.0;
  const auto within = [&](float v) { return sign * numberAt(v) <= sign * target; };
  if (within(1.0f)) return 1.0f;
  if (!within(0.0f)) return 0.0f;
  uint32_t lo = 0, hi = std::bit_cast<uint32_t>(1.0f);
  while (hi - lo > 1) {
    const uint32_t mid = lo + (hi - lo) / 2;
    (within(std::bit_cast<float>(mid)) ? lo : hi) = mid;
  }
  return std::bit_cast<float>(lo);
}

float ParameterScale::numericValue(const std::string& typed) const {
  const auto n = parseDisplayNumber(typed);
  if (!n) refuse(typed, "not a value of this parameter");
  double value = n->value;
  const std::string unit = folded(n->unit), shown = folded(unit_);
  if (!unit.empty() && unit != shown) {
    const double from = unitScale(unit), to = unitScale(shown);
    const auto isTime = [](const std::string& u) { return u == "ms" || u == "s"; };
    if (from == 0.0 || to == 0.0 || isTime(unit) != isTime(shown)) {
      refuse(typed, "its unit is " + unit_ + ", not " + n->unit);
    }
    value *= from / to;
  }
  // Texts are cut to their decimals: a typed value matches the text within half a step.
  const double tolerance = 0.5 * std::pow(10.0, -decimals_) + 1e-9;
  if (value < std::min(low_, high_) - tolerance || value > std::max(low_, high_) + tolerance) {
    refuse(typed, "outside the range");
  }
  const float above = firstReaching(value);
  float chosen = above;
  if (above > 0.0f) {
    const float below = nextDown(above);
    const double a = numberAt(above), b = numberAt(below);
    if (std::fabs(b - value) < std::fabs(a - value)) chosen = below;
    if (std::fabs(numberAt(chosen) - value) > tolerance) {
      refuse(typed, "no setting shows it (nearest " + display_(below) + " and " + display_(above) + ")");
    }
  } else if (std::fabs(numberAt(above) - value) > tolerance) {
    refuse(typed, "no setting shows it");
  }
  // Every value from `first` to `last` shows the chosen text. Displays cut their numbers toward
  // zero, so the end next to the smaller neighbour is where the value is exactly what it shows.
  const double shownValue = numberAt(chosen);
  const float first = firstReaching(shownValue), last = lastNotBeyond(shownValue);
  if (shownValue != 0.0) return (shownValue > 0.0) == increasing_ ? first : last;
  const auto simple = simplestValue([&](float v) { return v >= first && v <= last; });
  return simple ? *simple : first;
}

float ParameterScale::textValue(const std::string& typed) const {
  std::string key = folded(typed);
  // A two-way switch showing "Off" and a word ("AutoMakeup", "S.C.Ext") also takes On and Off.
  if (texts_.size() == 2) {
    const int off = folded(texts_[0]) == "off" ? 0 : folded(texts_[1]) == "off" ? 1 : -1;
    if (off >= 0 && (key == "on" || key == "yes" || key == "true")) key = folded(texts_[1 - off]);
    if (off >= 0 && (key == "no" || key == "false")) key = "off";
  }
  const auto match = std::find_if(texts_.begin(), texts_.end(), [&](const std::string& t) { return folded(t) == key; });
  if (match == texts_.end()) refuse(typed, "not one of its values");
  const auto shows = [&](float v) { return folded(display_(v)) == key; };
  if (const auto simple = simplestValue(shows)) return *simple;
  for (int i = 0; i <= kGrid; ++i) {
    const auto v = static_cast<float>(static_cast<double>(i) / kGrid);
    if (shows(v)) return v;
  }
  refuse(typed, "not one of its values");
}

}  // namespace orv::render
