#include "CvssScore.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace
{
// CVSS 3.1's round-up to one decimal, done in integers against float error.
double RoundUp(double value)
{
    const long scaled = std::lround(value * 100000);
    return scaled % 10000 == 0 ? scaled / 100000.0 : (std::floor(scaled / 10000.0) + 1) / 10.0;
}

std::optional<double> Weight(const std::map<std::string, char>& metrics, const std::string& name,
                             std::string_view values, std::initializer_list<double> weights)
{
    auto found = metrics.find(name);
    if (found == metrics.end())
        return std::nullopt;
    const size_t index = values.find(found->second);
    if (index == std::string_view::npos)
        return std::nullopt;
    return *(weights.begin() + index);
}
}  // namespace

std::optional<double> CvssV3BaseScore(std::string_view vector)
{
    if (!vector.starts_with("CVSS:3.0/") && !vector.starts_with("CVSS:3.1/"))
        return std::nullopt;
    std::map<std::string, char> metrics;
    size_t pos = 9;
    while (pos <= vector.size()) {
        size_t end = std::min(vector.find('/', pos), vector.size());
        std::string_view part = vector.substr(pos, end - pos);
        const size_t colon = part.find(':');
        if (colon == std::string_view::npos || colon == 0 || part.size() != colon + 2)
            return std::nullopt;
        if (!metrics.emplace(std::string(part.substr(0, colon)), part[colon + 1]).second)
            return std::nullopt;
        pos = end + 1;
    }

    auto scope = metrics.find("S");
    if (scope == metrics.end() || (scope->second != 'U' && scope->second != 'C'))
        return std::nullopt;
    const bool changed = scope->second == 'C';
    auto av = Weight(metrics, "AV", "NALP", {0.85, 0.62, 0.55, 0.2});
    auto ac = Weight(metrics, "AC", "LH", {0.77, 0.44});
    auto pr = changed ? Weight(metrics, "PR", "NLH", {0.85, 0.68, 0.5}) : Weight(metrics, "PR", "NLH", {0.85, 0.62, 0.27});
    auto ui = Weight(metrics, "UI", "NR", {0.85, 0.62});
    auto c = Weight(metrics, "C", "HLN", {0.56, 0.22, 0});
    auto i = Weight(metrics, "I", "HLN", {0.56, 0.22, 0});
    auto a = Weight(metrics, "A", "HLN", {0.56, 0.22, 0});
    if (!av || !ac || !pr || !ui || !c || !i || !a)
        return std::nullopt;

    const double iss = 1 - (1 - *c) * (1 - *i) * (1 - *a);
    const double impact = changed ? 7.52 * (iss - 0.029) - 3.25 * std::pow(iss - 0.02, 15) : 6.42 * iss;
    const double exploitability = 8.22 * *av * *ac * *pr * *ui;
    if (impact <= 0)
        return 0.0;
    return RoundUp(std::min((changed ? 1.08 : 1.0) * (impact + exploitability), 10.0));
}
