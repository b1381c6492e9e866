# The demo's menu bar, keys, dialog and message box in a real X window under Xvfb, driven
# with xdotool and checked by screenshots.
if(NOT WIN32 AND NOT ZANT_HEADLESS_ONLY AND TARGET zant-demo)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    add_test(NAME e2e_demo_menus
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/demo_menus_e2e.py
              --out ${CMAKE_CURRENT_BINARY_DIR}/e2e_demo_menus -- $<TARGET_FILE:zant-demo>)
    set_tests_properties(e2e_demo_menus PROPERTIES LABELS e2e TIMEOUT 120 SKIP_RETURN_CODE 77)
  endif()
endif()
