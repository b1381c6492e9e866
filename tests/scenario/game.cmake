# Whole games, the chains of a move, stray input, the menu switches, the dialogs and leaving
# the program at any moment, with the whole program run headless.
if(NOT WIN32)
  zant_add_gtest(game_scenario LABEL scenario TIMEOUT 600
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_test.cpp ${CMAKE_CURRENT_LIST_DIR}/game_harness.cpp
    LIBS zant_robust_program GTest::gtest_main)
  zant_add_resources(game_scenario ${ZANT_RESOURCE_RC} ${ZANT_RESOURCE_FILES})
endif()
