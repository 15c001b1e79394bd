#include "tools/demo_data.h"

#include <algorithm>

namespace admin {
namespace {

using namespace std::chrono;

struct Region {
  std::string_view code;
  std::string_view place;
};
constexpr std::array<Region, 18> kRegions = {{
    {"110101", "北京市东城区"},
    {"110105", "北京市朝阳区"},
    {"120101", "天津市和平区"},
    {"130102", "河北省石家庄市长安区"},
    {"210102", "辽宁省沈阳市和平区"},
    {"310104", "上海市徐汇区"},
    {"320102", "江苏省南京市玄武区"},
    {"330106", "浙江省杭州市西湖区"},
    {"350102", "福建省福州市鼓楼区"},
    {"370102", "山东省济南市历下区"},
    {"410105", "河南省郑州市金水区"},
    {"420106", "湖北省武汉市武昌区"},
    {"430104", "湖南省长沙市岳麓区"},
    {"440106", "广东省广州市天河区"},
    {"440304", "广东省深圳市福田区"},
    {"500103", "重庆市渝中区"},
    {"510104", "四川省成都市锦江区"},
    {"610113", "陕西省西安市雁塔区"},
}};

const std::vector<std::string> kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马",   "朱",   "胡",   "郭",   "何",
    "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",   "彭",   "曾",   "肖",   "田",
    "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏", "魏", "吕",   "丁",   "任",   "沈",   "姚",
    "卢", "姜", "崔", "钟", "谭", "陆", "汪", "范", "金", "石", "廖", "贾", "夏",   "韦",   "方",   "白",   "邹",
    "孟", "熊", "秦", "邱", "江", "尹", "薛", "段", "雷", "侯", "龙", "史", "欧阳", "司马", "诸葛", "上官",
};
const std::vector<std::string> kGivenNameCharacters = {
    "伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛", "明", "超",
    "秀", "霞", "平", "刚", "桂", "英", "华", "玉", "萍", "红", "建", "文", "辉", "力", "宇", "浩", "鑫",
    "欣", "怡", "子", "涵", "梓", "轩", "博", "晨", "雨", "佳", "琪", "思", "嘉", "俊", "宏", "志", "国",
    "海", "峰", "斌", "林", "波", "丹", "莉", "婷", "慧", "蕾", "淼", "堃", "昊", "瑶", "璐", "晓", "云",
};
// A character outside GBK, as some real names have.
constexpr std::string_view kRareNameCharacter = "䶮";
constexpr double kRareNameShare = 0.002;

const std::vector<std::string> kStreets = {"人民路", "解放路", "中山路", "建设路", "和平路",
                                           "新华街", "文化路", "胜利街", "幸福路", "光明街"};
const std::vector<std::string> kMinorities = {"回", "满", "蒙古", "壮", "维吾尔", "苗", "土家", "彝", "藏"};
constexpr std::string_view kMajority = "汉";
constexpr double kMajorityShare = 0.9;
const std::vector<std::string> kPhonePrefixes = {"130", "131", "132", "133", "135", "136", "137", "138", "139",
                                                 "150", "151", "152", "155", "156", "158", "159", "176", "177",
                                                 "180", "181", "182", "186", "187", "188", "189", "199"};
constexpr int kYoungestAge = 18;
constexpr int kOldestAge = 55;
constexpr int kRegistrationDays = 730;  // learners registered over the last two years
constexpr int kFirstExamAfterDays = 14;
constexpr int kExamSpreadDays = 240;
constexpr double kPassShare = 0.7;
// Share of bookings per subject: the theory exams are booked most.
constexpr std::array<double, 4> kSubjectShares = {0.35, 0.3, 0.25, 0.1};

std::string twoDigits(unsigned v) {
  char text[3] = {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10), '\0'};
  return text;
}

// A birth date as the card reader gives it: two-digit month and day.
std::string cardDateText(year_month_day date) {
  return std::to_string(static_cast<int>(date.year())) + "年" + twoDigits(static_cast<unsigned>(date.month())) + "月" +
         twoDigits(static_cast<unsigned>(date.day())) + "日";
}

}  // namespace

std::string dateText(year_month_day date) {
  return learner_import::dateText(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                                  static_cast<int>(static_cast<unsigned>(date.day())));
}

DemoGenerator::DemoGenerator(const Settings& settings, uint64_t seed, sys_days today)
    : settings_(settings), random_(seed), today_(today) {}

size_t DemoGenerator::below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
bool DemoGenerator::chance(double p) { return std::bernoulli_distribution(p)(random_); }

const std::string& DemoGenerator::pick(const std::vector<std::string>& items) {
  static const std::string kNone;
  return items.empty() ? kNone : items[below(items.size())];
}

std::string DemoGenerator::name() {
  std::string given = pick(kGivenNameCharacters);
  if (chance(0.7)) given += pick(kGivenNameCharacters);
  if (chance(kRareNameShare)) given = std::string(kRareNameCharacter);
  return pick(kSurnames) + given;
}

std::string DemoGenerator::identityNumber(std::string_view regionCode, year_month_day& birth, bool male) {
  for (;;) {
    unsigned sequence = static_cast<unsigned>(below(500)) * 2 + (male ? 1 : 0);  // odd for men, even for women
    std::string digits = std::string(regionCode) + std::to_string(static_cast<int>(birth.year())) +
                         twoDigits(static_cast<unsigned>(birth.month())) +
                         twoDigits(static_cast<unsigned>(birth.day()));
    std::string seq = std::to_string(sequence);
    digits += std::string(3 - seq.size(), '0') + seq;
    digits += identityCheckCharacter(digits);
    if (identities_.insert(digits).second) return digits;
    birth = year_month_day{sys_days{birth} - days{1}};  // that day's numbers are taken: try the day before
  }
}

std::string DemoGenerator::phone() {
  std::string number = pick(kPhonePrefixes);
  for (int i = 0; i < 8; ++i) number += static_cast<char>('0' + below(10));
  return number;
}

std::string DemoGenerator::address(std::string_view regionPlace) {
  std::string text = std::string(regionPlace) + pick(kStreets) + std::to_string(1 + below(300)) + "号";
  if (chance(0.6))
    text += std::to_string(1 + below(30)) + "栋" + std::to_string(1 + below(6)) + "单元" +
            std::to_string(1 + below(28)) + "0" + std::to_string(1 + below(4)) + "室";
  return text;
}

// C1 is most asked for, then C2; the other classes share what is left.
std::string DemoGenerator::vehicleClass() {
  const auto& classes = settings_.vehicleClasses;
  for (auto [name, share] : {std::pair<std::string_view, double>{"C1", 0.6}, {"C2", 0.5}})
    if (std::find(classes.begin(), classes.end(), name) != classes.end() && chance(share)) return std::string(name);
  return pick(classes);
}

std::vector<Learner> DemoGenerator::learners(size_t count) {
  std::vector<int> registeredDaysAgo(count);
  for (int& d : registeredDaysAgo) d = static_cast<int>(below(kRegistrationDays));
  std::sort(registeredDaysAgo.rbegin(), registeredDaysAgo.rend());
  static const Coach kNoCoach;
  std::vector<Learner> learners;
  learners.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    sys_days registered = today_ - days{registeredDaysAgo[i]};
    int ageDays = kYoungestAge * 366 + static_cast<int>(below(static_cast<size_t>((kOldestAge - kYoungestAge) * 365)));
    year_month_day birth{registered - days{ageDays}};
    bool male = chance(0.55);
    const Region& region = kRegions[below(kRegions.size())];
    const Coach& two = settings_.coaches.empty() ? kNoCoach : settings_.coaches[below(settings_.coaches.size())];
    const Coach& three = settings_.coaches.empty() ? kNoCoach : settings_.coaches[below(settings_.coaches.size())];
    Learner learner;
    learner.registered = registered;
    std::string identity = identityNumber(region.code, birth, male);
    learner.fields = {name(),
                      male ? "男" : "女",
                      chance(kMajorityShare) ? std::string(kMajority) : pick(kMinorities),
                      cardDateText(birth),
                      address(region.place),
                      identity,
                      phone(),
                      vehicleClass(),
                      dateText(year_month_day{registered}),
                      two.name,
                      two.phone,
                      two.plate,
                      three.name,
                      three.phone,
                      three.plate};
    learners.push_back(std::move(learner));
  }
  return learners;
}

std::vector<Booking> DemoGenerator::bookings(const std::vector<Learner>& learners, size_t count) {
  std::vector<Booking> bookings;
  if (learners.empty()) return bookings;
  bookings.reserve(count);
  std::discrete_distribution<int> subject(kSubjectShares.begin(), kSubjectShares.end());
  for (size_t i = 0; i < count; ++i) {
    const Learner& learner = learners[below(learners.size())];
    sys_days exam = learner.registered + days{kFirstExamAfterDays + static_cast<int>(below(kExamSpreadDays))};
    std::string result;
    if (exam < today_) result = chance(kPassShare) ? "合格" : "不合格";
    bookings.push_back({subject(random_), learner.fields[kIdentityField], dateText(year_month_day{exam}), result});
  }
  return bookings;
}

}  // namespace admin
