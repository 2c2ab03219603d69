#include "tools/orv-render/text_match.h"

#include <algorithm>
#include <cctype>

namespace orv::render {

std::string trim(std::string_view text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int editDistance(std::string_view a, std::string_view b) {
  std::vector<int> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      const int above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

int findName(const std::vector<std::string>& candidates, std::string_view wanted) {
  const std::string key = lower(trim(wanted));
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (lower(trim(candidates[i])) == key) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> closeNames(const std::vector<std::string>& candidates, std::string_view wanted) {
  const std::string key = lower(trim(wanted));
  // A third of the word may be wrong, and always two letters: short names are typed loosely too.
  const int limit = std::max<int>(2, static_cast<int>(key.size()) / 3);
  std::vector<std::pair<int, std::string>> scored;
  for (const auto& candidate : candidates) {
    const std::string name = trim(candidate);
    if (name.empty() || name == "-") continue;
    const std::string folded = lower(name);
    int distance = editDistance(key, folded);
    // A typed prefix ("thresh") is as good as a near miss.
    if (key.size() >= 3 && folded.starts_with(key)) distance = std::min(distance, 1);
    if (distance > limit) continue;
    if (std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == name; })) {
      scored.emplace_back(distance, name);
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> names;
  for (size_t i = 0; i < scored.size() && i < 3; ++i) names.push_back(scored[i].second);
  return names;
}

std::string suggestion(const std::vector<std::string>& candidates, std::string_view wanted) {
  const auto names = closeNames(candidates, wanted);
  if (names.empty()) return {};
  std::string text = "; did you mean ";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += "\"" + names[i] + "\"";
  }
  return text + "?";
}

long parseIndex(std::string_view text, long limit) {
  if (text.empty() || text.size() > 9) return -1;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value > limit ? -1 : value;
}

}  // namespace orv::render
