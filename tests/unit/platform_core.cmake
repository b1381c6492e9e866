# The layer's own behaviour that the conformance tests cannot see: the headless driver,
# the update region and composition, handle checking, destruction order.
if(NOT TARGET zant_platform_headless)
  return()
endif()
zant_add_gtest(platform_core_test LABEL unit TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_core_test.cpp
  LIBS zant_platform_headless)
