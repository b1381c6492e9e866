# The pictures in resources/: their formats, the tiles cut from the table top, the icons,
# and that zantpig-artgen still draws exactly the committed files.
if(TARGET zantpig-artgen)
  find_package(ZLIB REQUIRED)
  zant_add_gtest(art_test LABEL unit TIMEOUT 300 SOURCES ${CMAKE_CURRENT_LIST_DIR}/art_test.cpp
    LIBS ZLIB::ZLIB)
  target_compile_definitions(art_test PRIVATE
    ZANT_ARTGEN="$<TARGET_FILE:zantpig-artgen>"
    ZANT_RESOURCES="${CMAKE_SOURCE_DIR}/resources")
  add_dependencies(art_test zantpig-artgen)
endif()
