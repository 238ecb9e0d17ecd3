#include "service_object/code_page_slot_tables.h"

namespace miraxld {

namespace {

constexpr std::array<int32_t, 38> kKt910Early = [] {
    std::array<int32_t, 38> t{};
    t[0] = 437;
    t[1] = 1252;
    t[2] = 852;
    t[8] = 1257;
    t[13] = 863;
    t[15] = 1253;
    t[16] = 1255;
    t[22] = 9320;
    t[25] = 865;
    t[30] = 866;
    t[35] = 858;
    t[36] = 1258;
    t[37] = 874;
    return t;
}();

constexpr CodePageSlot kKt910EarlyDoubleByte[] = {{950, 252}, {936, 253}, {949, 254}, {932, 255}};

constexpr std::array<int32_t, 35> kRmx910Early = [] {
    std::array<int32_t, 35> t{};
    t[0] = 437;
    t[1] = 1252;
    t[2] = 852;
    t[3] = 1251;
    t[8] = 1257;
    t[13] = 863;
    t[15] = 1253;
    t[16] = 1255;
    t[22] = 9320;
    t[25] = 865;
    t[30] = 866;
    return t;
}();

constexpr int32_t kKt110Early[] = {437, 858, 865, 866, 0, 863, 852, 1255, 1257, 1253, 9320, 1252};

constexpr CodePageSlot kWide[] = {
    {437, 0},   {9320, 1},  {850, 2},   {860, 3},   {863, 4},   {865, 5},   {851, 11},
    {853, 12},  {857, 13},  {737, 14},  {1252, 16}, {866, 17},  {852, 18},  {858, 19},
    {874, 21},  {720, 32},  {775, 33},  {855, 34},  {861, 35},  {862, 36},  {864, 37},
    {869, 38},  {1250, 45}, {1251, 46}, {1253, 47}, {1254, 48}, {1255, 49}, {1256, 50},
    {1257, 51}, {1258, 52}, {950, 241}, {936, 242}, {949, 243}, {932, 244},
};
static_assert(std::size(kWide) == 34);

constexpr CodePageSlot kKt110Later[] = {
    {437, 0},  {9320, 1}, {850, 2},  {860, 3},   {863, 4},   {865, 5},   {1252, 16},
    {866, 17}, {852, 18}, {858, 19}, {1253, 47}, {1255, 49}, {1257, 51}, {1258, 52},
};
static_assert(std::size(kKt110Later) == 14);

}  // namespace

std::span<const int32_t> Kt910EarlyCodePages() {
    return kKt910Early;
}
std::span<const CodePageSlot> Kt910EarlyDoubleByte() {
    return kKt910EarlyDoubleByte;
}
std::span<const int32_t> Rmx910EarlyCodePages() {
    return kRmx910Early;
}
std::span<const int32_t> Kt110EarlyCodePages() {
    return kKt110Early;
}
std::span<const CodePageSlot> WideCodePages() {
    return kWide;
}
std::span<const CodePageSlot> Kt110LaterCodePages() {
    return kKt110Later;
}

}  // namespace miraxld
