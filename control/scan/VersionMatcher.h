#pragma once

#include <cstddef>

#include "Matcher.h"

// The version of each component found in the unit, from the fingerprints of its class files
// as the lookup server knows them for every catalogued version: one version when they pin
// it, the candidates when the classes seen are the same in several, the catalogue's version
// when none is known. Runs after the matchers that find the components, and states where
// the archive's own metadata names another version than its classes.
class CVersionMatcher : public IMatcher
{
public:
    bool Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results) override;

    // How many class files are fingerprinted before asking, in the rounds a find takes; the
    // rounds stop as soon as one version is pinned, and after the second when the server
    // knows none of them (a catalogue without fingerprints of the component).
    static constexpr size_t kRounds[] = {4, 28, 96};
};
