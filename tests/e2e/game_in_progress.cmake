# The first moves of a game in the SDL2 build on a virtual display, and the picture of the
# game in progress that the README shows. The zantpig-readme-picture target makes the test's
# picture anew into docs/.
if(TARGET zantpig AND NOT WIN32)
  find_package(Python3 COMPONENTS Interpreter)
  find_program(ZANT_XVFB Xvfb)
  if(Python3_FOUND AND ZANT_XVFB)
    set(zant_progress_command ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/game_in_progress.py
        --table ${CMAKE_SOURCE_DIR}/resources/table.bmp)
    add_test(NAME game_in_progress_e2e
      COMMAND ${zant_progress_command} --out ${CMAKE_CURRENT_BINARY_DIR}/game_in_progress.png
              -- $<TARGET_FILE:zantpig>)
    set_tests_properties(game_in_progress_e2e PROPERTIES LABELS e2e TIMEOUT 180)
    add_custom_target(zantpig-readme-picture
      COMMAND ${zant_progress_command} --out ${CMAKE_SOURCE_DIR}/docs/zantpig.png
              -- $<TARGET_FILE:zantpig>
      DEPENDS zantpig
      COMMENT "Playing the first moves of a game for the README's picture"
      VERBATIM)
  endif()
endif()
