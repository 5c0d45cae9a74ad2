#include "Nearest.h"

#include "platform/Text.h"

#include <algorithm>
#include <numeric>

namespace kalo::cli {

namespace {

size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t(0));
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::vector<std::string> Nearest(const std::string& word, const std::vector<std::string>& candidates, size_t most)
{
    const std::string typed = platform::Lower(word);
    const size_t allowed = std::max<size_t>(2, typed.size() / 3);
    std::vector<std::pair<size_t, const std::string*>> near;
    for (const std::string& candidate : candidates) {
        const std::string lower = platform::Lower(candidate);
        const size_t distance =
            std::min(EditDistance(typed, lower), EditDistance(typed, lower.substr(0, typed.size())) + 1);
        if (distance <= allowed && distance < typed.size() && std::none_of(near.begin(), near.end(), [&](auto& n) { return *n.second == candidate; }))
            near.emplace_back(distance, &candidate);
    }
    std::stable_sort(near.begin(), near.end(), [](auto& a, auto& b) { return a.first < b.first; });
    std::vector<std::string> nearest;
    for (size_t i = 0; i < near.size() && i < most; ++i)
        nearest.push_back(*near[i].second);
    return nearest;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates)
{
    const std::vector<std::string> nearest = Nearest(word, candidates, 1);
    return nearest.empty() ? std::string() : "; did you mean " + nearest.front() + "?";
}

} // namespace kalo::cli
