// The hostile modules of the test suite (tools/hostile_cases.h) as files,
// one per case, named after the case (XM, S3M and IT ones with their
// formats' extensions), for rendering them with different
// builds of zindle-render and comparing (scripts/cross-check.sh).
#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/hostile_cases.h"
#include "tools/module_sets.h"

namespace {

// "command E0F" -> "command-e0f.mod": letters, digits and single dashes.
std::string fileName(const std::string& what, const std::string& extension) {
    std::string name;
    for (const char c : what) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u))
            name.push_back(static_cast<char>(std::tolower(u)));
        else if (!name.empty() && name.back() != '-')
            name.push_back('-');
    }
    while (!name.empty() && name.back() == '-') name.pop_back();
    return name + extension;
}

}  // namespace

std::vector<ModuleFile> hostileModules() {
    std::vector<hostile::NamedBytes> files;
    const auto add = [&](const std::vector<hostile::NamedSong>& songs) {
        for (const hostile::NamedSong& s : songs) files.push_back({s.what, s.song.bytes()});
    };
    const std::vector<std::uint8_t> rich = hostile::richSong().bytes();
    for (const int cut : hostile::playedCuts())
        files.push_back({"cut at " + std::to_string(cut), std::vector<std::uint8_t>(rich.begin(), rich.begin() + cut)});
    add(hostile::ordersPastThePatternData());
    for (const hostile::NamedBytes& b : hostile::sampleLengthsAndLoops()) files.push_back(b);
    files.push_back({"every period", hostile::everyPeriod().bytes()});
    add(hostile::everyCommand());
    add(hostile::controlAndHighBytesInNames());
    add(hostile::songLengthsAtTheLimits());
    std::set<std::pair<int, int>> jump_songs;
    for (const hostile::JumpCase& k : hostile::jumpCases())
        if (jump_songs.insert({k.length, k.restart}).second)
            files.push_back({"jumps length " + std::to_string(k.length) + " restart " + std::to_string(k.restart),
                             hostile::jumpSong(k.length, k.restart).bytes()});
    for (auto cases : {hostile::trackerCuts(), hostile::trackerMutants(), hostile::trackerLimits()})
        for (hostile::NamedBytes& b : cases) files.push_back(std::move(b));

    // A cut that two boundaries share is one file.
    std::vector<ModuleFile> modules;
    std::set<std::string> names;
    for (hostile::NamedBytes& f : files) {
        std::string name = fileName(f.what, f.extension);
        if (names.insert(name).second) modules.push_back({std::move(name), std::move(f.bytes)});
    }
    return modules;
}
