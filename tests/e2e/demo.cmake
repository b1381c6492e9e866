# The demo in a real X window under Xvfb, driven with xdotool and checked by screenshots.
if(NOT WIN32 AND NOT ZANT_HEADLESS_ONLY AND TARGET zant-demo)
  find_package(X11)
  if(X11_FOUND)
    # Closes a window the way a window manager's close button does (there is none on Xvfb).
    add_executable(zant-wm-close ${CMAKE_CURRENT_LIST_DIR}/wm_close.c)
    target_include_directories(zant-wm-close PRIVATE ${X11_INCLUDE_DIR})
    target_link_libraries(zant-wm-close PRIVATE ${X11_LIBRARIES})

    add_test(NAME e2e_demo
      COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/demo_e2e.sh $<TARGET_FILE:zant-demo>
              $<TARGET_FILE:zant-wm-close> ${CMAKE_CURRENT_BINARY_DIR}/e2e_demo)
    set_tests_properties(e2e_demo PROPERTIES LABELS e2e TIMEOUT 60 SKIP_RETURN_CODE 77)
  endif()
endif()
