// The windows and units of the program's templates, by the names the
// templates give them. Every handler addresses controls through these.
#pragma once

#include "runtime/api.h"
#include "runtime/value.h"

namespace ui {

using rt::api::Unit;
namespace k = rt::kind;

inline constexpr uint32_t kMainWindow = 0x5201001B;
inline constexpr uint32_t kProgressWindow = 0x52011CBD;

inline constexpr Unit 主窗口{kMainWindow, 0x0601001A, k::kWindow};
inline constexpr Unit 进度窗口{kProgressWindow, 0x06011CBC, k::kWindow};
inline constexpr Unit 进度条1{kProgressWindow, 0x16011CBE, k::kProcessBar};

inline constexpr Unit 选择夹1{kMainWindow, 0x16011CD7, k::kTab};

// Page "学员信息".
inline constexpr Unit 编辑框1{kMainWindow, 0x16011D2A, k::kEditBox};  // 姓名
inline constexpr Unit 编辑框2{kMainWindow, 0x16011D28, k::kEditBox};  // 身份证号码
inline constexpr Unit 编辑框3{kMainWindow, 0x16011D22, k::kEditBox};  // 电话号码
inline constexpr Unit 编辑框4{kMainWindow, 0x16011D26, k::kEditBox};  // 报名日期
inline constexpr Unit 编辑框5{kMainWindow, 0x16011FF0, k::kEditBox};  // 性别
inline constexpr Unit 编辑框7{kMainWindow, 0x16011FF2, k::kEditBox};  // 民族
inline constexpr Unit 编辑框8{kMainWindow, 0x16011FF4, k::kEditBox};  // 出生日期
inline constexpr Unit 编辑框9{kMainWindow, 0x16011FF6, k::kEditBox};  // 住址
inline constexpr Unit 日期框1{kMainWindow, 0x16011D2C, k::kDatePicker};
inline constexpr Unit 组合框1{kMainWindow, 0x16011D1F, k::kComboBox};  // 车型
inline constexpr Unit 组合框2{kMainWindow, 0x16011D2D, k::kComboBox};  // 科二教练
inline constexpr Unit 组合框3{kMainWindow, 0x16011D20, k::kComboBox};  // 科二教练电话
inline constexpr Unit 组合框4{kMainWindow, 0x16011D1A, k::kComboBox};  // 科二车牌
inline constexpr Unit 组合框5{kMainWindow, 0x16011D19, k::kComboBox};  // 科三教练
inline constexpr Unit 组合框6{kMainWindow, 0x16011D18, k::kComboBox};  // 科三教练电话
inline constexpr Unit 组合框7{kMainWindow, 0x16011D17, k::kComboBox};  // 科三车牌
inline constexpr Unit 添加{kMainWindow, 0x16011D2F, k::kButton};
inline constexpr Unit 修改{kMainWindow, 0x16011D30, k::kButton};
inline constexpr Unit 图片框1{kMainWindow, 0x16012012, k::kPicBox};
inline constexpr Unit 超级列表框1{kMainWindow, 0x16011D2E, k::kListView};

// Page "考试详情".
inline constexpr Unit 组合框8{kMainWindow, 0x16011D40, k::kComboBox};  // subject
inline constexpr Unit 考试查询{kMainWindow, 0x16011E47, k::kButton};
inline constexpr Unit 编辑框6{kMainWindow, 0x16011D46, k::kEditBox};  // exam date
inline constexpr Unit 日期框2{kMainWindow, 0x16011D45, k::kDatePicker};
inline constexpr Unit 组合框9{kMainWindow, 0x16011F4F, k::kComboBox};  // result
inline constexpr Unit 成绩修改{kMainWindow, 0x16011F50, k::kButton};
inline constexpr Unit 超级列表框2{kMainWindow, 0x16011D35, k::kListView};

// Pages "考试名单" and "结业学员".
inline constexpr Unit 超级列表框3{kMainWindow, 0x16011EE4, k::kListView};
inline constexpr Unit 超级列表框4{kMainWindow, 0x16012184, k::kListView};

// Non-visual units.
inline constexpr Unit 记录集学员{kMainWindow, 0x16011D31, k::kRecordSet};
inline constexpr Unit 记录集一{kMainWindow, 0x1601217C, k::kRecordSet};
inline constexpr Unit 记录集二{kMainWindow, 0x1601217D, k::kRecordSet};
inline constexpr Unit 记录集三{kMainWindow, 0x1601217E, k::kRecordSet};
inline constexpr Unit 记录集四{kMainWindow, 0x1601217F, k::kRecordSet};
inline constexpr Unit 记录集结业{kMainWindow, 0x16012182, k::kRecordSet};
inline constexpr Unit 记录集考试名单{kMainWindow, 0x160121A5, k::kRecordSet};
inline constexpr Unit 数据库连接1{kMainWindow, 0x16011D32, k::kDBConnection};
inline constexpr Unit Excel程序{kMainWindow, 0x16011D34, k::kExcelApp};
inline constexpr Unit Excel程序1{kMainWindow, 0x16012180, k::kExcelApp};
inline constexpr Unit Excel工作簿{kMainWindow, 0x16011D33, k::kExcelWorkbooks};
inline constexpr Unit Excel工作簿1{kMainWindow, 0x16012181, k::kExcelWorkbooks};
inline constexpr Unit 通用对话框_公用{kMainWindow, 0x16011D16, k::kCommonDlg};
inline constexpr Unit 通用对话框_公用1{kMainWindow, 0x1601217B, k::kCommonDlg};

// Menu items.
inline constexpr Unit 菜单学员管理{kMainWindow, 0x26011C9C, k::kMenu};
inline constexpr Unit 菜单读取身份证{kMainWindow, 0x26011FD4, k::kMenu};
inline constexpr Unit 菜单打印报名表{kMainWindow, 0x26012069, k::kMenu};
inline constexpr Unit 菜单删除学员{kMainWindow, 0x26011C9D, k::kMenu};
inline constexpr Unit 菜单导入数据{kMainWindow, 0x26012143, k::kMenu};
inline constexpr Unit 菜单导出数据{kMainWindow, 0x26011C9E, k::kMenu};
inline constexpr Unit 菜单查看日志{kMainWindow, 0x26011E42, k::kMenu};
inline constexpr Unit 菜单添加考试{kMainWindow, 0x26011EDC, k::kMenu};
inline constexpr Unit 菜单添加科目一{kMainWindow, 0x26011EDD, k::kMenu};
inline constexpr Unit 菜单添加科目二{kMainWindow, 0x26011EDE, k::kMenu};
inline constexpr Unit 菜单添加科目三{kMainWindow, 0x26011EDF, k::kMenu};
inline constexpr Unit 菜单添加科目四{kMainWindow, 0x26011EE0, k::kMenu};
inline constexpr Unit 菜单学员结业{kMainWindow, 0x26012144, k::kMenu};
inline constexpr Unit 菜单选项{kMainWindow, 0x26011C97, k::kMenu};
inline constexpr Unit 菜单参数设置{kMainWindow, 0x260121AC, k::kMenu};

}  // namespace ui
