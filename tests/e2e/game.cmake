# The game in a real window on a virtual display: the SDL2 build, or the Windows build under
# Wine. The same checks serve both.
#   game_e2e       start-up and idle screenshots region by region, the idle processor time,
#                  closing the window through its frame with exit code 0
#   game_play_e2e  New Game from the menu and from the key N, the dialogs, Roll and Hold
#                  clicked until one side wins with the board read after every step, the
#                  rules and strategy texts, the notices during their pauses, Exit with
#                  the key Escape and the closing splash
if(TARGET zantpig AND (NOT WIN32 OR ZANT_WINE_FIXTURE))
  find_package(Python3 COMPONENTS Interpreter)
  find_program(ZANT_XVFB Xvfb)
  if(Python3_FOUND AND ZANT_XVFB)
    if(WIN32)
      set(zant_game_command ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:zantpig>)
    else()
      set(zant_game_command $<TARGET_FILE:zantpig>)
    endif()
    add_test(NAME game_e2e
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/run_game.py
              --table ${CMAKE_SOURCE_DIR}/resources/table.bmp
              --out ${CMAKE_CURRENT_BINARY_DIR}/game_e2e -- ${zant_game_command})
    set_tests_properties(game_e2e PROPERTIES LABELS e2e TIMEOUT 400)
    # A whole game lasts a few minutes of real time: the die and the pauses run at the
    # speed a person sees them.
    add_test(NAME game_play_e2e
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/game_play_e2e.py
              --dice ${CMAKE_SOURCE_DIR}/resources/dice.bmp
              --splash ${CMAKE_SOURCE_DIR}/resources/splash.bmp
              --out ${CMAKE_CURRENT_BINARY_DIR}/game_play_e2e -- ${zant_game_command})
    set_tests_properties(game_play_e2e PROPERTIES LABELS e2e TIMEOUT 600 SKIP_RETURN_CODE 77)
    if(WIN32)
      set_tests_properties(game_e2e game_play_e2e PROPERTIES FIXTURES_REQUIRED ${ZANT_WINE_FIXTURE})
    endif()
  endif()
endif()
