#pragma once

#include <string>
#include <vector>

// A place in the catalogue's categories.
struct CPlacement
{
    std::string primary;
    std::string secondary;
};

// The catalogue's hand-made knowledge: where each library is placed, and who publishes it.
class CCatalogueMap
{
public:
    // The placements of the first rule whose prefix the artifact id starts with; a library
    // no rule knows goes under Libraries › General.
    static const std::vector<CPlacement>& PlacementsOf(const std::string& artifactId);
    // The publisher of a group (or of an artifact id, for archives that name no group);
    // empty when none is known.
    static std::string PublisherOf(const std::string& group);
};
