# The desktop program's windows: skinned controls, the main window and the
# program itself.
foreach(gui_dir skin mainwindow program)
  add_subdirectory(${gui_dir})
endforeach()
