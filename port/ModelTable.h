#pragma once

#include <array>
#include <string_view>

namespace kalo {

// The supported models. Whatever tests a model name, short name or product id
// goes through the rows in this order.
struct ModelInfo {
    std::string_view modelName;
    std::string_view shortName;
    std::string_view usbProductId;
    std::string_view customKeyName;
    std::string_view customRegistryKey;
};

inline constexpr std::array<ModelInfo, 3> kModels = {{
    {"TLR-740plusII", "740plusII", "pid_001d", "Custom_TLR-740plusII", "SOFTWARE\\KEMTRAN\\TLR-740plusII\\OXM\\Custom"},
    {"TLR-742plusII", "742plusII", "pid_001e", "Custom_TLR-742plusII", "SOFTWARE\\KEMTRAN\\TLR-742plusII\\OXM\\Custom"},
    {"TLR-740II", "740II", "pid_001f", "Custom_TLR-740II", "SOFTWARE\\KEMTRAN\\TLR-740II\\OXM\\Custom"},
}};

inline constexpr std::string_view kMakerName = "KEMTRAN";
inline constexpr std::string_view kUsbVendorId = "vid_7a3c";

} // namespace kalo
