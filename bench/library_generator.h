#pragma once

// Libraries shaped like a real Scenery.cfg (CRLF lines, a header, then one
// section per area with the five keys the simulators write, a blank line
// between sections), about 125 bytes per area, as large as the benchmarks need.

#include <string>

namespace bfq::bench {

// Area.001 ... Area.999 for up to 999 areas. A larger library cannot use
// three-digit names, so its areas are Area.00001 ...: the tool still finds a
// free number for the area it adds (the first eight characters of Area.49999
// give Area.500, which no area carries), so the "added" path writes.
std::string generateLibrary(int areas);

// The title of area number (1-based); generateLibrary uses it.
std::string areaTitle(int area);

std::string configFile(const char* target, const std::string& title);

}  // namespace bfq::bench
