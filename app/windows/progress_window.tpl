# The progress window shown while a list is exported. Its creation handler
# sets the title. Format: see tools/tplgen/main.cpp.

window 0x52011CBD
symbol kProgressWindow
words 0 0x19010051
name ""
comment ""

unit 0x06011CBC window
symbol 进度窗口
rect 50 50 350 60
flags 1
event 0 onProgressWindowCreated

unit 0x16011CBE ProcessBar
name 进度条1
rect 0 0 350 60
flags 1
maximum 100
position 0
