# Start-up, the score board, repainting and closing, with the whole program run headless.
if(NOT WIN32)
  zant_add_gtest(startup_scenario LABEL scenario TIMEOUT 300
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp ${CMAKE_CURRENT_LIST_DIR}/game_harness.cpp
    LIBS zant_robust_program GTest::gtest_main)
  zant_add_resources(startup_scenario ${ZANT_RESOURCE_RC} ${ZANT_RESOURCE_FILES})
endif()
