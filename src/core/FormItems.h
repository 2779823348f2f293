#pragma once

#include <array>

// The fixed item lists of the entry form's drop-down boxes, in the order the clerks know them. The demo
// data of the provisioning tool picks from the same lists.
namespace formitems {

inline constexpr std::array<const char*, 2> lettersOrVisits = {"来信", "来访"};
inline constexpr std::array<const char*, 2> sexes = {"男", "女"};
inline constexpr std::array<const char*, 2> yesNo = {"是", "否"};
inline constexpr std::array<const char*, 3> severities = {"重", "中", "轻"};

inline constexpr std::array<const char*, 12> ethnicities = {"汉族", "满族", "朝鲜族", "回族", "藏族", "蒙古族",
                                                            "苗族", "侗族", "瑶族",   "傣族", "佤族", "白族"};

inline constexpr std::array<const char*, 15> causes = {"拖欠工资", "退休",     "退休待遇", "病退",     "养老保险",
                                                       "医疗保险", "分房",     "贪污",     "受贿",     "工伤",
                                                       "工资",     "档案丢失", "档案",     "收取押金", "不作为"};

inline constexpr std::array<const char*, 22> offices = {"人社局",
                                                        "社保局",
                                                        "公安局",
                                                        "检察院",
                                                        "法院",
                                                        "工商局",
                                                        "地税局",
                                                        "国税局",
                                                        "质量技术监督局",
                                                        "烟草专卖局",
                                                        "食品药品监督管理局",
                                                        "环保局",
                                                        "物价局",
                                                        "国土资源局",
                                                        "征收局",
                                                        "安全生产监督管理局",
                                                        "城市管理行政执法局",
                                                        "司法局",
                                                        "审计局",
                                                        "财政局",
                                                        "交通运管所",
                                                        "交警大队"};

} // namespace formitems
