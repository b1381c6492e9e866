# The browser build in headless Chromium, over the DevTools protocol, against the site on a
# local static server: the start-up board against the headless renderer's picture, a whole
# game with the dialogs and a message box, Exit through the splash, a second load offline
# at a phone's size, no error on the page, and the site from one release to the next. The
# reference picture comes from the native build's
# zantpig-lab (script/test builds the default preset first); without it the test is skipped.
if(EMSCRIPTEN)
  set(ZANT_NATIVE_LAB ${CMAKE_SOURCE_DIR}/build/default/tools/lab/zantpig-lab CACHE FILEPATH
      "The native zantpig-lab, which draws the reference picture of the browser test")
  add_test(NAME web_e2e
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/web_e2e.py
            --site ${CMAKE_BINARY_DIR}/site --lab ${ZANT_NATIVE_LAB}
            --dice ${CMAKE_SOURCE_DIR}/resources/dice.bmp
            --splash ${CMAKE_SOURCE_DIR}/resources/splash.bmp
            --out ${CMAKE_BINARY_DIR}/web_e2e)
  # A whole game lasts a few minutes: the die and the pauses run at the speed a person sees.
  set_tests_properties(web_e2e PROPERTIES LABELS e2e TIMEOUT 900 SKIP_RETURN_CODE 77)

  # The page soak (tests/robust/web_soak.py): a fixed seed for two minutes; run it by hand
  # with --minutes N --seed S for longer.
  add_test(NAME web_soak
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/robust/web_soak.py --minutes 2
            --site ${CMAKE_BINARY_DIR}/site --out ${CMAKE_BINARY_DIR}/web_soak)
  # It runs beside the browser test, each with a Chromium of its own: the browser test
  # reads what the page drew and when from the page itself, not from the time of its looks.
  set_tests_properties(web_soak PROPERTIES LABELS robust TIMEOUT 600 SKIP_RETURN_CODE 77)
endif()
