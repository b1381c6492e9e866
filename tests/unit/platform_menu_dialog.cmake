# The layer's menus, accelerators, dialogs and message boxes, on the headless back end,
# with resources of their own.
if(TARGET zant_platform_headless)
  set(dir ${CMAKE_CURRENT_LIST_DIR}/platform_menu_dialog)
  zant_add_gtest(platform_menu_dialog_test LABEL unit TIMEOUT 60
    SOURCES ${dir}/menu_test.cpp ${dir}/dialog_test.cpp ${dir}/test_support.cpp
    LIBS zant_platform_headless GTest::gtest_main)
  target_include_directories(platform_menu_dialog_test PRIVATE ${dir})
  zant_add_resources(platform_menu_dialog_test ${dir}/menu_dialog.rc ${dir}/menu_dialog_ids.h)
endif()
