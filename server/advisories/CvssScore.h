#pragma once

#include <optional>
#include <string_view>

// The CVSS v3.0/v3.1 base score of a vector ("CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"),
// by the formula FIRST publishes for CVSS 3.1. Nothing for any other text: a vector with a
// base metric missing, repeated or out of range has no score.
std::optional<double> CvssV3BaseScore(std::string_view vector);
