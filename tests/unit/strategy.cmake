# The dice, the random source, the tables, the solver and the computer player.
if(NOT TARGET zantpig_game OR NOT TARGET zantpig_plain_solver)
  return()
endif()

set(strategy_dir ${CMAKE_CURRENT_LIST_DIR}/strategy)
set(strategy_sources
  ${strategy_dir}/random_test.cpp
  ${strategy_dir}/tables_test.cpp
  ${strategy_dir}/solver_test.cpp)

if(WIN32)
  # The real API: what needs no test driver.
  zant_add_gtest(strategy_unit LABEL unit TIMEOUT 300
    SOURCES ${strategy_sources}
    LIBS zantpig_plain_solver zantpig_game GTest::gtest_main)
  target_link_options(strategy_unit PRIVATE -static)
else()
  zant_add_gtest(strategy_unit LABEL unit TIMEOUT 300
    SOURCES ${strategy_sources} ${strategy_dir}/headless_test.cpp
    LIBS zantpig_plain_solver zantpig_game zant_platform_headless GTest::gtest_main)
endif()
