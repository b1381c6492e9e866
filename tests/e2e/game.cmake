# The game in a real window on a virtual display: the SDL2 build, or the Windows build under
# Wine. One check serves both: screenshots region by region, the idle processor time, and
# closing the window through its frame with exit code 0.
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
    if(WIN32)
      set_tests_properties(game_e2e PROPERTIES FIXTURES_REQUIRED ${ZANT_WINE_FIXTURE})
    endif()
  endif()
endif()
