# The desktop program's windows: skinned controls, the main window and the
# program itself. Each folder joins the build once it exists.
foreach(gui_dir skin mainwindow screens program)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${gui_dir}/CMakeLists.txt)
    add_subdirectory(${gui_dir})
  endif()
endforeach()
