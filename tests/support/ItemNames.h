#pragma once

#include <string>
#include <vector>

// The names of a list's records in order, for comparing a listing at a glance.
template <typename List>
std::vector<std::string> Names(const List& list)
{
    std::vector<std::string> names;
    for (const auto& item : list)
        names.push_back(item->GetName());
    return names;
}
