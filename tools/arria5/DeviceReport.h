// Reads a driver's description through dispatch calls and renders it as text
// or JSON, exactly as a host would see it.
#pragma once

#include "plugin/com/DispatchRef.h"

#include <nlohmann/json.hpp>

#include <string>

namespace arria5cli {

enum class TValueKind { Text, Integer, Hex, Boolean };

struct TInfoField {
    int32_t DispId;
    const char* Key;
    TValueKind Kind;
};

nlohmann::ordered_json ReadDeviceInfo(const com::TDispatchRef& driver);
nlohmann::ordered_json ReadPins(const com::TDispatchRef& driver);
nlohmann::ordered_json ReadIOStandards(const com::TDispatchRef& driver);
nlohmann::ordered_json ReadIOStandard(const com::TDispatchRef& standard);

std::string FormatDeviceInfo(const nlohmann::ordered_json& info);
std::string FormatPins(const nlohmann::ordered_json& pins);
std::string FormatIOStandards(const nlohmann::ordered_json& standards);

} // namespace arria5cli
