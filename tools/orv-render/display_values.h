// Parameter values in the units the plug-in displays ("-12dB", "4 : 1", "30ms", "On"), turned
// into the normalised value whose display text matches, by asking the plug-in for its texts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::render {

// A display text read as a number and its unit: "-12.04dB" -> -12.04 "dB", 2 decimals;
// "4.00 : 1" -> 4 ": 1". Empty for texts that do not start with a number.
struct DisplayNumber {
  double value = 0.0;
  int decimals = 0;
  std::string unit;  // trimmed, as displayed
};
std::optional<DisplayNumber> parseDisplayNumber(std::string_view text);

// A bare number ("0.5", " 1 ") as typed; empty when anything else is in the text.
std::optional<double> parsePlainNumber(std::string_view text);

class ParameterScale {
 public:
  // The trimmed display text (label included) at a normalised value. Calling it may change the
  // parameter: the caller restores it.
  using Display = std::function<std::string(float normalised)>;

  // Samples the texts across 0..1 to learn whether the parameter shows numbers in one unit
  // that move one way (searched for by value) or a few words (matched as text).
  ParameterScale(std::string name, Display display);

  // "6.02dB to -30.10dB", "0.50 : 1 to 64.00 : 1 in 21 steps", "Off | On"; empty for a
  // parameter that shows nothing.
  const std::string& range() const { return range_; }

  // The normalised value for a value typed in display units. Throws Error with one line that
  // names the range when no value of the parameter displays it.
  float valueFor(const std::string& typed) const;

 private:
  float numericValue(const std::string& typed) const;
  float textValue(const std::string& typed) const;
  double numberAt(float normalised) const;
  // Smallest normalised value whose displayed number has reached `target` in the direction
  // the parameter moves; 1 when none has.
  float firstReaching(double target) const;
  float lastNotBeyond(double target) const;
  [[noreturn]] void refuse(const std::string& typed, const std::string& why) const;

  std::string name_;
  Display display_;
  bool numeric_ = false;
  bool increasing_ = true;
  int decimals_ = 0;
  std::string unit_;
  double low_ = 0.0, high_ = 0.0;  // displayed numbers at 0 and 1
  std::vector<std::string> texts_;  // distinct texts in the order they appear from 0 to 1
  std::string range_;
};

}  // namespace orv::render
