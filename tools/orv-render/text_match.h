// Matching of names typed on the command line against the plug-in's own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::render {

std::string trim(std::string_view text);
std::string lower(std::string_view text);
// Levenshtein distance, counted in bytes.
int editDistance(std::string_view a, std::string_view b);
// Index of the candidate equal to wanted after trimming, ignoring case; -1 when none.
int findName(const std::vector<std::string>& candidates, std::string_view wanted);
// The candidates close enough to wanted to be what was meant, closest first (at most three).
std::vector<std::string> closeNames(const std::vector<std::string>& candidates, std::string_view wanted);
// "; did you mean "A" or "B"?" or an empty string.
std::string suggestion(const std::vector<std::string>& candidates, std::string_view wanted);
// Whole decimal number without sign or blanks; -1 otherwise (or when above limit).
long parseIndex(std::string_view text, long limit);

}  // namespace orv::render
