// Derives the kind, base-name and pin-set tables from the input data and lays out
// every pin-out, checking the cross-table rules on the way.
#include "Model.h"

#include <algorithm>
#include <map>

namespace devgen {

namespace {

int DimensionIndex(const std::vector<Dimension>& table, const std::string& id, const std::string& what) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].Id == id)
            return static_cast<int>(i);
    Fail("unknown " + what + " " + id);
}

// Full name = base (9) + package (3) + temperature (1) + speed (1) + option (rest).
Kind ParseKind(const InputData& data, const std::string& name) {
    if (name.size() < 15)
        Fail("kind name too short: " + name);
    Kind k;
    k.FullName = name;
    k.Base = name.substr(0, 9);
    const std::string package = name.substr(9, 3);
    k.Package = -1;
    for (std::size_t i = 0; i < data.Packages.size(); ++i)
        if (data.Packages[i].Id == package)
            k.Package = static_cast<int>(i);
    if (k.Package < 0)
        Fail("kind " + name + ": unknown package " + package);
    k.Temperature = DimensionIndex(data.TemperatureGrades, name.substr(12, 1), "temperature grade");
    k.Speed = DimensionIndex(data.SpeedGrades, name.substr(13, 1), "speed grade");
    k.Option = DimensionIndex(data.OptionDesignators, name.substr(14), "option designator");
    return k;
}

template <typename T>
const T* FindBase(const std::vector<std::pair<std::string, T>>& table, const std::string& base) {
    const T* found = nullptr;
    for (const auto& [name, value] : table)
        if (name == base) {
            if (found)
                Fail("base name " + base + " listed twice");
            found = &value;
        }
    return found;
}

} // namespace

Database BuildDatabase(const InputData& data) {
    Database db;
    for (const auto& name : data.KindNames)
        db.Kinds.push_back(ParseKind(data, name));

    for (const Kind& k : db.Kinds)
        db.BaseNames.push_back(k.Base);
    std::sort(db.BaseNames.begin(), db.BaseNames.end());
    db.BaseNames.erase(std::unique(db.BaseNames.begin(), db.BaseNames.end()), db.BaseNames.end());

    std::map<std::string, std::pair<int, int>> pinSetKeys; // base + package id -> (base id, package)
    for (Kind& k : db.Kinds) {
        k.BaseId = static_cast<int>(std::lower_bound(db.BaseNames.begin(), db.BaseNames.end(), k.Base) -
                                    db.BaseNames.begin());
        pinSetKeys[k.Base + data.Packages[k.Package].Id] = {k.BaseId, k.Package};
        if (!FindBase(data.Dies, k.Base))
            Fail("base name " + k.Base + " has no die values");
        if (!FindBase(data.ScanGroups, k.Base))
            Fail("base name " + k.Base + " has no boundary-scan group count");
    }
    std::map<std::string, int> pinSetIndex;
    for (const auto& [key, value] : pinSetKeys) {
        pinSetIndex[key] = static_cast<int>(db.PinSets.size());
        db.PinSets.push_back(value);
    }
    for (Kind& k : db.Kinds)
        k.PinSet = pinSetIndex.at(k.Base + data.Packages[k.Package].Id);

    // Every pin set belongs to exactly one pin-out row.
    db.PinSetPinOut.assign(db.PinSets.size(), -1);
    std::vector<int> minGroups(data.PinOutRows.size(), 1 << 30);
    for (std::size_t r = 0; r < data.PinOutRows.size(); ++r) {
        const PinOutRow& row = data.PinOutRows[r];
        if (row.PinCount != data.Packages[row.Package].Balls + 5)
            Fail("pin-out row " + std::to_string(r) + ": pin count must be the ball count + 5");
        for (const auto& base : row.Bases) {
            const auto it = pinSetIndex.find(base + data.Packages[row.Package].Id);
            if (it == pinSetIndex.end())
                Fail("pin-out row " + std::to_string(r) + ": no kind of " + base + " in that package");
            if (db.PinSetPinOut[it->second] >= 0)
                Fail("pin set " + it->first + " in two pin-out rows");
            db.PinSetPinOut[it->second] = static_cast<int>(r);
            minGroups[r] = std::min(minGroups[r], *FindBase(data.ScanGroups, base));
        }
    }
    for (std::size_t s = 0; s < db.PinSets.size(); ++s) {
        if (db.PinSetPinOut[s] < 0)
            Fail("pin set " + db.BaseNames[db.PinSets[s].first] + " has no pin-out row");
        db.PinSetGroupCount.push_back(*FindBase(data.ScanGroups, db.BaseNames[db.PinSets[s].first]));
    }

    int referencesUsed = 0;
    for (std::size_t r = 0; r < data.PinOutRows.size(); ++r) {
        const PinOutRow& row = data.PinOutRows[r];
        const bool hasRefs = data.References.Package == row.Package &&
                             std::find(row.Bases.begin(), row.Bases.end(), data.References.Base) != row.Bases.end();
        referencesUsed += hasRefs;
        db.PinOuts.push_back(BuildPinOut(data, static_cast<int>(r), minGroups[r], hasRefs ? &data.References : nullptr));
    }
    if (data.References.Package >= 0 && referencesUsed != 1)
        Fail("reference rows: " + data.References.Base + " is in no pin-out row of that package");
    return db;
}

} // namespace devgen
