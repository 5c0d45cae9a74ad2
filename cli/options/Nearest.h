#pragma once

#include <string>
#include <vector>

namespace kalo::cli {

// The candidates closest to a mistyped word, closest first, at most most of
// them: by edit distance, ignoring case, and by the candidate's beginning as
// long as the word, so "PC86O" finds "PC865 (Nordic)". None is offered that
// differs from the word in more than a third of its letters (at least two),
// nor one that shares no letter with it:
// a suggestion far from what was typed would only mislead.
std::vector<std::string> Nearest(const std::string& word, const std::vector<std::string>& candidates, size_t most);

// "; did you mean identify?" for the nearest candidate, or "".
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);

} // namespace kalo::cli
