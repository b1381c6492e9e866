# GDI, text and resources of the portable layer, on the headless back end. The test
# program carries its own resources (platform_gdi/resources.rc) as a game program would.
if(NOT TARGET zant_platform_headless)
  return()
endif()

set(gdi_dir ${CMAKE_CURRENT_LIST_DIR}/platform_gdi)
zant_add_gtest(platform_gdi_test LABEL unit TIMEOUT 120
  SOURCES ${gdi_dir}/gdi_test.cpp ${gdi_dir}/resource_test.cpp
  LIBS zant_platform_headless)
target_include_directories(platform_gdi_test PRIVATE ${PROJECT_SOURCE_DIR}/platform/src)
zant_add_resources(platform_gdi_test ${gdi_dir}/resources.rc
  ${gdi_dir}/colours24.bmp ${gdi_dir}/palette8.bmp ${gdi_dir}/halfclear.ico)
