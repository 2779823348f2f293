#pragma once

#include <array>
#include <string_view>

// What a freshly provisioned office starts with. The city is made up; an office edits set.ini to its own
// names. The demo registrations name the same five receivers, so the receiver drop-down and the list agree.
namespace office {

inline constexpr std::string_view caption = "信访接待登记管理系统";
inline constexpr std::string_view city = "云澜市";
inline constexpr std::string_view bannerTitle = "云澜市信访局来信来访登记系统";
inline constexpr std::array<std::string_view, 5> receivers = {"张立新", "李秀梅", "王建华", "刘芳", "陈志强"};

} // namespace office
