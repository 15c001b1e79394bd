# The main window of the records manager.
#
# Format: see tools/tplgen/main.cpp.

window 0x5201001B
symbol kMainWindow
words 0 0x19010051
name ""
comment ""

# ---------------------------------------------------------------- the window
unit 0x0601001A window
symbol 主窗口
rect 50 50 1351 718
flags 1
event 0 onMainWindowCreated

unit 0x16011CD7 Tab
name 选择夹1
rect 8 0 1336 664
flags 5
font -19 400
pages 学员信息 考试详情 考试名单 结业学员
# page 1 "学员信息"
contains 标签2 编辑框1 标签3 编辑框2 标签5 编辑框4 日期框1 标签8 编辑框3
contains 标签4 组合框1 添加 修改 标签6 组合框2 标签1 组合框3 标签9 组合框4
contains 标签7 组合框5 标签10 组合框6 标签11 组合框7 标签14 编辑框5 标签15
contains 编辑框7 标签16 编辑框8 标签17 编辑框9 图片框1 超级列表框1
contains 0
# page 2 "考试详情"
contains 标签12 组合框8 考试查询 标签13 编辑框6 日期框2 组合框9 成绩修改 超级列表框2
contains 0
# page 3 "考试名单"
contains 超级列表框3
contains 0
# page 4 "结业学员"
contains 超级列表框4
event 2 onTabPageChanged

# ------------------------------------------------------ page 1 "学员信息"
unit 0x16011D2B Label
name 标签2
container 选择夹1
rect 9 44 74 25
flags 1
font -19 400
caption "姓   名"

unit 0x16011D2A EditBox
name 编辑框1
container 选择夹1
rect 90 44 140 25
flags 5
order 1
font -19 400
event -3 onEditBox1DoubleClick

unit 0x16011D29 Label
name 标签3
container 选择夹1
rect 241 44 75 25
flags 1
font -19 400
caption 身份证号

unit 0x16011D28 EditBox
name 编辑框2
container 选择夹1
rect 322 44 190 25
flags 5
order 2
font -19 400
event -3 onEditBox2DoubleClick

unit 0x16011D25 Label
name 标签5
container 选择夹1
rect 525 44 75 25
flags 1
font -19 400
caption 报名日期

unit 0x16011D26 EditBox
name 编辑框4
container 选择夹1
rect 607 44 115 25
flags 5
order 5
font -14 400
event -3 onEditBox4DoubleClick

unit 0x16011D2C DatePicker
name 日期框1
container 选择夹1
rect 718 44 22 26
flags 5
event 0 onDatePicker1Changed

unit 0x16011D21 Label
name 标签8
container 选择夹1
rect 9 84 74 25
flags 1
font -19 400
caption 电话号码

unit 0x16011D22 EditBox
name 编辑框3
container 选择夹1
rect 90 84 140 25
flags 5
order 3
font -19 400
event -3 onEditBox3DoubleClick

unit 0x16011D27 Label
name 标签4
container 选择夹1
rect 241 84 75 25
flags 1
font -19 400
caption "车  型"

unit 0x16011D1F ComboBox
name 组合框1
container 选择夹1
rect 322 84 140 25
flags 5
order 4
font -19 400
event -3 onComboBox1DoubleClick

unit 0x16011D2F Button
name 添加
container 选择夹1
rect 534 79 80 35
flags 5
font -16 700
caption "添 加"
event 0 onAddClicked

unit 0x16011D30 Button
name 修改
container 选择夹1
rect 637 80 90 35
flags 5
font -16 700
caption "修 改"
event 0 onModifyClicked

unit 0x16011D24 Label
name 标签6
container 选择夹1
rect 744 33 75 25
flags 1
font -19 400
caption 科二教练

unit 0x16011D2D ComboBox
name 组合框2
container 选择夹1
rect 827 33 140 25
flags 5
order 6
font -19 400
event 0 onCoach2Chosen
event -3 onComboBox2DoubleClick

unit 0x16011D1E Label
name 标签1
container 选择夹1
rect 744 62 75 25
flags 1
font -19 400
caption 科二电话

unit 0x16011D20 ComboBox
name 组合框3
container 选择夹1
rect 827 62 140 25
flags 5
order 7
font -19 400

unit 0x16011D1D Label
name 标签9
container 选择夹1
rect 744 92 75 25
flags 1
font -19 400
caption 科二车牌

unit 0x16011D1A ComboBox
name 组合框4
container 选择夹1
rect 827 92 140 25
flags 5
order 8
font -19 400

unit 0x16011D23 Label
name 标签7
container 选择夹1
rect 994 36 75 25
flags 1
font -19 400
caption 科三教练

unit 0x16011D19 ComboBox
name 组合框5
container 选择夹1
rect 1077 36 140 25
flags 5
order 9
font -19 400
event 0 onCoach3Chosen
event -3 onComboBox5DoubleClick

unit 0x16011D1B Label
name 标签10
container 选择夹1
rect 994 64 75 25
flags 1
font -19 400
caption 科三电话

unit 0x16011D18 ComboBox
name 组合框6
container 选择夹1
rect 1077 64 140 25
flags 5
order 10
font -19 400

unit 0x16011D1C Label
name 标签11
container 选择夹1
rect 994 92 75 25
flags 1
font -19 400
caption 科三车牌

unit 0x16011D17 ComboBox
name 组合框7
container 选择夹1
rect 1077 92 140 25
flags 5
order 11
font -19 400

unit 0x16011FEF Label
name 标签14
container 选择夹1
rect 9 124 60 25
flags 1
font -19 400
caption "性  别"

unit 0x16011FF0 EditBox
name 编辑框5
container 选择夹1
rect 79 124 30 25
flags 5
font -14 400

unit 0x16011FF1 Label
name 标签15
container 选择夹1
rect 129 124 60 25
flags 1
font -19 400
caption "民  族"

unit 0x16011FF2 EditBox
name 编辑框7
container 选择夹1
rect 199 124 30 25
flags 5
font -14 400

unit 0x16011FF3 Label
name 标签16
container 选择夹1
rect 241 124 80 25
flags 1
font -19 400
caption 出生日期

unit 0x16011FF4 EditBox
name 编辑框8
container 选择夹1
rect 322 124 134 25
flags 5
font -14 400

unit 0x16011FF5 Label
name 标签17
container 选择夹1
rect 536 124 40 25
flags 1
font -19 400
caption 住址

unit 0x16011FF6 EditBox
name 编辑框9
container 选择夹1
rect 582 124 637 25
flags 5
font -14 400

# The identity photo read from the card, scaled into the box.
unit 0x16012012 PicBox
name 图片框1
container 选择夹1
rect 1234 36 100 110
flags 1
border 1
display 1

unit 0x16011D2E ListView
name 超级列表框1
container 选择夹1
rect 8 160 1288 488
flags 5
font -12 400
single-selection 1
column 35 ID
column 75 姓名
column 36 性别
column 36 民族
column 97 出生日期
column 130 住址
column 130 身份证号码
column 85 电话号码
column 36 车型
column 100 报名日期
column 80 科二教练
column 85 科二教练电话
column 70 科二车牌
column 80 科三教练
column 85 科三教练电话
column 70 科三车牌
event 4 onStudentListClick
event 5 onStudentListRightClick
event -3 onStudentListDoubleClick

# ------------------------------------------------------ page 2 "考试详情"
unit 0x16011D3F Label
name 标签12
container 选择夹1
rect 20 45 96 25
flags 1
font -19 400 微软雅黑
caption 请选择科目

unit 0x16011D40 ComboBox
name 组合框8
container 选择夹1
rect 120 45 144 25
flags 5
font -19 400
items 科目一 科目二 科目三 科目四

unit 0x16011E47 Button
name 考试查询
container 选择夹1
rect 270 45 80 25
flags 5
font -16 700
caption "查 询"
event 0 onExamQueryClicked

unit 0x16011D47 Label
name 标签13
container 选择夹1
rect 20 81 75 25
flags 1
font -19 400 微软雅黑
caption 考试时间

unit 0x16011D46 EditBox
name 编辑框6
container 选择夹1
rect 120 81 124 25
flags 5
font -14 400

unit 0x16011D45 DatePicker
name 日期框2
container 选择夹1
rect 238 81 18 26
flags 5
event 0 onDatePicker2Changed

unit 0x16011F4F ComboBox
name 组合框9
container 选择夹1
rect 272 80 140 25
flags 5
font -19 400
items 不合格 合格

unit 0x16011F50 Button
name 成绩修改
container 选择夹1
rect 422 80 80 25
flags 5
font -16 700
caption 成绩修改
event 0 onResultChangeClicked

unit 0x16011D35 ListView
name 超级列表框2
container 选择夹1
rect 8 120 700 450
flags 5
font -16 400
single-selection 1
column 50 ID
column 50 车型
column 50 科目
column 120 姓名
column 160 身份证号码
column 130 考试时间
column 100 是否通过

# ------------------------------------------------------ page 3 "考试名单"
unit 0x16011EE4 ListView
name 超级列表框3
container 选择夹1
rect 8 120 816 450
flags 5
font -14 400
single-selection 1
column 30 ID
column 75 姓名
column 44 性别
column 44 民族
column 140 身份证号码
column 140 地址
column 95 电话
column 44 车型
column 44 科目
column 75 教练姓名
column 74 考试次数

# ------------------------------------------------------ page 4 "结业学员"
unit 0x16012184 ListView
name 超级列表框4
container 选择夹1
rect 8 160 1288 488
flags 5
font -12 400
single-selection 1
column 35 ID
column 75 姓名
column 36 性别
column 36 民族
column 97 出生日期
column 130 住址
column 130 身份证号码
column 85 电话号码
column 36 车型
column 100 报名日期
column 80 科二教练
column 85 科二教练电话
column 70 科二车牌
column 80 科三教练
column 85 科三教练电话
column 70 科三车牌
event 5 onGraduateListRightClick

# ------------------------------------------- non-visual units (never shown)
unit 0x16011D31 RecordSet
name 记录集学员
rect 0 0 32 32

unit 0x1601217C RecordSet
name 记录集一
rect 36 0 32 32

unit 0x1601217D RecordSet
name 记录集二
rect 72 0 32 32

unit 0x1601217E RecordSet
name 记录集三
rect 108 0 32 32

unit 0x1601217F RecordSet
name 记录集四
rect 144 0 32 32

unit 0x16012182 RecordSet
name 记录集结业
rect 180 0 32 32

unit 0x160121A5 RecordSet
name 记录集考试名单
rect 216 0 32 32

unit 0x16011D32 DBConnection
name 数据库连接1
rect 252 0 32 32

unit 0x16011D34 ExcelApp
name Excel程序
rect 288 0 32 32

unit 0x16012180 ExcelApp
name Excel程序1
rect 324 0 32 32

unit 0x16011D33 ExcelWorkbooks
name Excel工作簿
rect 360 0 32 32

unit 0x16012181 ExcelWorkbooks
name Excel工作簿1
rect 396 0 32 32

# The learner import of 导入数据 (library 8).
unit 0x160121B0 LearnerImport
name 学员导入1
rect 504 0 32 32

unit 0x16011D16 CommonDlg
name 通用对话框_公用
rect 432 0 32 32
dialog-type 0
filter "Excel表格（*.xls;*.xlsx）|*.xlsx;*.xls"

unit 0x1601217B CommonDlg
name 通用对话框_公用1
rect 468 0 32 32
dialog-type 0
filter "Excel表格（*.xls;*.xlsx）|*.xlsx;*.xls"

# ----------------------------------------------------------------- the menu
unit 0x26011C9C menu
symbol 菜单学员管理
level 0
caption "学员管理 "

unit 0x26011FD4 menu
symbol 菜单读取身份证
level 1
caption 读取身份证
event 0 onMenuReadCard

unit 0x26012069 menu
symbol 菜单打印报名表
level 1
caption 打印报名表
event 0 onMenuPrintForm

unit 0x26011C9D menu
symbol 菜单删除学员
level 1
caption 删除学员
event 0 onMenuDeleteStudent

unit 0x26012143 menu
symbol 菜单导入数据
level 1
caption 导入数据
event 0 onMenuImportData

unit 0x26011C9E menu
symbol 菜单导出数据
level 1
caption 导出数据
event 0 onMenuExportData

unit 0x26011E42 menu
symbol 菜单查看日志
level 1
caption 查看日志
event 0 onMenuViewLog

# Hidden from the menu bar; shown as the popup menu of 超级列表框1.
unit 0x26011EDC menu
symbol 菜单添加考试
level 0
flags 1
caption 添加考试

unit 0x26011EDD menu
symbol 菜单添加科目一
level 1
caption 添加科目一
event 0 onMenuAddSubject1

unit 0x26011EDE menu
symbol 菜单添加科目二
level 1
caption 添加科目二
event 0 onMenuAddSubject2

unit 0x26011EDF menu
symbol 菜单添加科目三
level 1
caption 添加科目三
event 0 onMenuAddSubject3

unit 0x26011EE0 menu
symbol 菜单添加科目四
level 1
caption 添加科目四
event 0 onMenuAddSubject4

unit 0x26012144 menu
symbol 菜单学员结业
level 1
caption 学员结业
event 0 onMenuGraduate

unit 0x26011C97 menu
symbol 菜单选项
level 0
caption 选项

unit 0x260121AC menu
symbol 菜单参数设置
level 1
caption 参数设置
event 0 onMenuSettings

# Hidden from the menu bar; shown as the popup menu of 超级列表框4.
unit 0x260121B0 menu
symbol 菜单结业学员
level 0
flags 1
caption 结业学员

unit 0x260121B1 menu
symbol 菜单撤销结业
level 1
caption 撤销结业
event 0 onMenuUndoGraduation
