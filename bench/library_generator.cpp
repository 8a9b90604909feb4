#include "library_generator.h"

#include <cstdio>

namespace bfq::bench {

std::string areaTitle(int area) {
    char title[64];
    std::snprintf(title, sizeof title, "Brackenfell Scenery %05d", area);
    return title;
}

std::string generateLibrary(int areas) {
    std::string out =
        "[General]\r\nTitle=FS9 World Scenery\r\nDescription=FS9 Scenery Data\r\nClean_on_Exit=TRUE\r\n\r\n";
    out.reserve(out.size() + static_cast<std::size_t>(areas) * 130);
    const char* nameFormat = areas <= 999 ? "[Area.%03d]\r\n" : "[Area.%05d]\r\n";
    char line[128];
    for (int area = 1; area <= areas; ++area) {
        std::snprintf(line, sizeof line, nameFormat, area);
        out += line;
        out += "Title=" + areaTitle(area) + "\r\n";
        std::snprintf(line, sizeof line, "Local=Addon Scenery\\Brackenfell\\Area %05d\r\n", area);
        out += line;
        std::snprintf(line, sizeof line, "Layer=%d\r\nActive=TRUE\r\nRequired=FALSE\r\n\r\n", area);
        out += line;
    }
    return out;
}

std::string configFile(const char* target, const std::string& title) {
    return std::string("[Config]\r\nTarget=") + target + "\r\nTitle=" + title +
           "\r\nPath=Addon Scenery\\Brackenfell Valley\r\n";
}

}  // namespace bfq::bench
