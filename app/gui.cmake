# The desktop program's windows: skinned controls, the main window, the
# screens and the program itself.
foreach(gui_dir skin mainwindow screens program)
  add_subdirectory(${gui_dir})
endforeach()
